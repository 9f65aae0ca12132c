#include "base/strings.h"
#include "vars/vars.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace quillon {
namespace {

std::vector<std::string> keys_in_order(const TStringHashTable& table)
{
    std::vector<std::string> keys;
    auto pairs = table.enumerate();
    while (pairs.move_next())
        keys.emplace_back(pairs.current().key);
    return keys;
}

std::map<std::string, std::string> as_map(const std::vector<std::string>& list)
{
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i + 1 < list.size(); i += 2)
        out.emplace(list[i], list[i + 1]);
    return out;
}

std::vector<std::string> contents(const TVariableManager& vars)
{
    std::vector<std::string> list;
    vars.ToStrings(list);
    return list;
}

TEST(TStringHashTable, HashRotatesFoldsAsciiCapitalsAndXorsTheByte)
{
    struct Case {
        std::string_view key;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"", 0},
        {"a", 0x61},
        {"A", 0x61},
        {"AB", 0xC42},             // (0x61 << 5) ^ 0x62
        {"Ab", 0xC42},
        {"\xC9", 0xC9},            // letters outside A to Z are not folded
        {"\xE9", 0xE9},
        {"ABCDEFGH", 0x40731798},  // long enough for bits to rotate round
        {"TargetDir", 0x486BEA46},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(hash_name_nocase(c.key), c.expected);
    }
}

TEST(TStringHashTable, FirstPutCreates32BucketsAndGrowsBeforeTheLookup)
{
    struct Case {
        const char* what;
        std::string last_key;
        std::uint64_t count_after;
    };
    const Case cases[] = {
        {"a new variable", "NEW", 65},
        {"only a new value", "VAR17", 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TStringHashTable table;
        EXPECT_EQ(table.bucket_count(), 0u);
        ASSERT_TRUE(table.put("VAR0", "0"));
        EXPECT_EQ(table.bucket_count(), 32u);
        EXPECT_EQ(table.threshold(), 64u);
        for (int i = 1; i < 64; ++i)
            ASSERT_TRUE(table.put("VAR" + std::to_string(i), std::to_string(i)));
        EXPECT_EQ(table.count(), 64u);
        EXPECT_EQ(table.bucket_count(), 32u);

        ASSERT_TRUE(table.put(c.last_key, "last"));
        EXPECT_EQ(table.bucket_count(), 64u);
        EXPECT_EQ(table.threshold(), 128u);
        EXPECT_EQ(table.count(), c.count_after);
        for (int i = 0; i < 64; ++i) {
            std::string key = "var" + std::to_string(i);
            const std::string* value = table.find(key);
            ASSERT_NE(value, nullptr) << key;
            EXPECT_EQ(*value, key == ascii_lower(c.last_key) ? "last" : std::to_string(i));
        }
    }
}

TEST(TStringHashTable, KeepsTheFirstSpellingOfAName)
{
    TStringHashTable table;
    ASSERT_TRUE(table.put("TargetDir", "C:\\A"));
    ASSERT_NE(table.find("TARGETDIR"), nullptr);
    EXPECT_EQ(*table.find("TARGETDIR"), "C:\\A");
    ASSERT_TRUE(table.put("targetdir", "D:\\B"));
    EXPECT_EQ(table.count(), 1u);
    auto pairs = table.enumerate();
    ASSERT_TRUE(pairs.move_next());
    EXPECT_EQ(pairs.current().key, "TargetDir");
    EXPECT_EQ(pairs.current().value, "D:\\B");
    EXPECT_FALSE(pairs.move_next());
}

TEST(TStringHashTable, NamesDifferingOnlyOutsideAsciiLettersStayApart)
{
    // E acute in both cases: equal to the name comparison, but the hash folds
    // only A to Z, so the two names never meet.
    TStringHashTable table;
    ASSERT_TRUE(table.put("\xC9", "upper"));
    ASSERT_TRUE(table.put("\xE9", "lower"));
    EXPECT_EQ(table.count(), 2u);
    EXPECT_EQ(*table.find("\xC9"), "upper");
    EXPECT_EQ(*table.find("\xE9"), "lower");
}

TEST(TStringHashTable, EmptyNameIsNeverStored)
{
    TStringHashTable table;
    ASSERT_TRUE(table.put("", "value"));
    EXPECT_EQ(table.count(), 0u);
    EXPECT_FALSE(table.contains(""));
    EXPECT_EQ(table.bucket_count(), 0u);
}

TEST(TStringHashTable, EnumeratesBucketsUpwardsNewestFirstInEachChain)
{
    // With 32 buckets a key of up to five characters lands in the bucket of its
    // last (folded) byte modulo 32: "!" and "A" in 1, "b" and "XB" in 2, "C" in 3.
    TStringHashTable table;
    for (std::string_view key : {"C", "A", "b", "!", "XB"})
        ASSERT_TRUE(table.put(key, "v"));
    EXPECT_EQ(keys_in_order(table), (std::vector<std::string>{"!", "A", "XB", "b", "C"}));
}

TEST(TStringHashTable, GrowthRelinksEachChainInReverse)
{
    // "!" (0x21) and "a" (0x61) share bucket 1 of 32 and bucket 33 of 64.
    TStringHashTable table;
    ASSERT_TRUE(table.put("A", "1"));
    ASSERT_TRUE(table.put("!", "2"));
    auto relative_order = [&] {
        std::vector<std::string> order;
        for (const std::string& key : keys_in_order(table))
            if (key == "A" || key == "!")
                order.push_back(key);
        return order;
    };
    EXPECT_EQ(relative_order(), (std::vector<std::string>{"!", "A"}));
    for (int i = 0; table.bucket_count() == 32; ++i)
        ASSERT_TRUE(table.put("FILL" + std::to_string(i), "x"));
    EXPECT_EQ(table.bucket_count(), 64u);
    EXPECT_EQ(relative_order(), (std::vector<std::string>{"A", "!"}));
}

TEST(TStringHashTable, RefusesChangesWhileAnEnumeratorLives)
{
    TStringHashTable table;
    ASSERT_TRUE(table.put("A", "1"));
    {
        auto pairs = table.enumerate();
        EXPECT_TRUE(table.iterating());
        Result<void> put = table.put("B", "2");
        ASSERT_FALSE(put);
        EXPECT_EQ(put.error().message, "Can not modify a collection while iterating");
        EXPECT_FALSE(table.put("A", "changed"));
        Result<void> cleared = table.clear();
        ASSERT_FALSE(cleared);
        EXPECT_EQ(cleared.error().message, "Can not modify a collection while iterating");
        {
            // A second walk ending must not release the first one's guard.
            auto second = table.enumerate();
        }
        EXPECT_FALSE(table.put("B", "2"));
    }
    EXPECT_FALSE(table.iterating());
    EXPECT_TRUE(table.put("B", "2"));
    EXPECT_EQ(*table.find("A"), "1");
    EXPECT_EQ(table.count(), 2u);
}

TEST(TStringHashTable, LoadFactorMustLieBetweenOneTenthAndSeven)
{
    struct Case {
        double load_factor;
        bool accepted;
    };
    const Case cases[] = {
        {0.1, true}, {7.0, true}, {2.0, true}, {0.09, false}, {7.01, false}, {-1.0, false}, {std::nan(""), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.load_factor);
        Result<TStringHashTable> table = TStringHashTable::create({.load_factor = c.load_factor});
        ASSERT_EQ(table.has_value(), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(table.error().message, "Argument out of range");
            EXPECT_EQ(table.error().code, ErrorCode::out_of_range);
        }
    }
}

TEST(TStringHashTable, ThresholdFollowsTheLoadFactor)
{
    Result<TStringHashTable> table = TStringHashTable::create({.load_factor = 0.5});
    ASSERT_TRUE(table);
    for (int i = 0; i < 17; ++i)
        ASSERT_TRUE(table->put("K" + std::to_string(i), ""));
    // 16 entries fill 32 buckets at 0.5; the 17th put doubles them.
    EXPECT_EQ(table->bucket_count(), 64u);
    EXPECT_EQ(table->threshold(), 32u);
}

TEST(TStringHashTable, FixedTableOfSizeZeroRefusesPuts)
{
    Result<TStringHashTable> table = TStringHashTable::create({.fixed_size = true});
    ASSERT_TRUE(table);
    Result<void> put = table->put("A", "1");
    ASSERT_FALSE(put);
    EXPECT_EQ(put.error().message, "Hash table is fixed with size 0");
}

TEST(TStringHashTable, FixedTableKeepsItsBucketsAndChainsGrow)
{
    Result<TStringHashTable> table = TStringHashTable::create({.initial_capacity = 4, .fixed_size = true});
    ASSERT_TRUE(table);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(table->put("K" + std::to_string(i), std::to_string(i)));
    EXPECT_EQ(table->bucket_count(), 4u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(*table->find("k" + std::to_string(i)), std::to_string(i));
}

TEST(TStringHashTable, ClearReturnsToTheInitialCapacity)
{
    struct Case {
        std::uint32_t initial_capacity;
        std::uint32_t threshold;
    };
    for (const Case& c : {Case{0, 0}, Case{8, 16}}) {
        SCOPED_TRACE(c.initial_capacity);
        Result<TStringHashTable> table = TStringHashTable::create({.initial_capacity = c.initial_capacity});
        ASSERT_TRUE(table);
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(table->put("K" + std::to_string(i), "v"));
        ASSERT_TRUE(table->clear());
        EXPECT_EQ(table->count(), 0u);
        EXPECT_EQ(table->bucket_count(), c.initial_capacity);
        EXPECT_EQ(table->threshold(), c.threshold);
        EXPECT_FALSE(table->contains("K1"));
        EXPECT_TRUE(keys_in_order(*table).empty());
    }
}

TEST(TVariableManager, ReadsNamesWithoutRegardToCase)
{
    TVariableManager vars;
    vars.Add("TargetDir", "C:\\A");
    EXPECT_TRUE(vars.Exists("TARGETDIR"));
    EXPECT_EQ(vars.GetValue("targetdir"), "C:\\A");
    vars.SetValue("TARGETDIR", "D:\\B");
    EXPECT_EQ(contents(vars), (std::vector<std::string>{"TargetDir", "D:\\B"}));
}

TEST(TVariableManager, UnknownAndEmptyNamesReadAsEmpty)
{
    TVariableManager vars;
    vars.Add("", "ignored");
    vars.Add("EMPTY", "");
    EXPECT_EQ(vars.count(), 1u);
    EXPECT_FALSE(vars.Exists(""));
    EXPECT_FALSE(vars.Exists("NOPE"));
    EXPECT_TRUE(vars.Exists("EMPTY"));
    EXPECT_EQ(vars.GetValue("NOPE"), "");
    EXPECT_EQ(vars.lookup("NOPE"), std::nullopt);
    EXPECT_EQ(vars.lookup("EMPTY"), std::optional<std::string>(""));
    EXPECT_EQ(GetVar(vars, "NOPE"), "");
    EXPECT_FALSE(VarExists(vars, ""));
}

TEST(TVariableManager, ToStringsListsPairsInTableOrder)
{
    TVariableManager vars;
    for (std::string_view key : {"C", "A", "b"})
        vars.Add(key, std::string(key) + "-value");
    std::vector<std::string> list{"stale"};
    EXPECT_EQ(vars.ToStrings(list), 6u);
    EXPECT_EQ(list, (std::vector<std::string>{"A", "A-value", "b", "b-value", "C", "C-value"}));
    vars.Clear();
    EXPECT_EQ(vars.ToStrings(list), 0u);
    EXPECT_FALSE(vars.Exists("A"));
}

TEST(TVariableManager, SnapshotQuotesItemsThatNeedIt)
{
    TVariableManager vars;
    vars.Add("A", "x y"); // bucket 1
    vars.Add("B", "");    // bucket 2
    vars.Add("C", "say \"hi\", then go"); // bucket 3
    vars.Add("D", "plain");
    EXPECT_EQ(SnapshotVariables(vars), "A,\"x y\",B,,C,\"say \"\"hi\"\", then go\",D,plain");
}

TEST(TVariableManager, SnapshotAndRestoreKeepNamesAndValues)
{
    const std::vector<std::pair<std::string, std::string>> variables = {
        {"COMMA", "a,b,,c"},
        {"BLANK", "two words"},
        {"LEADING", " lead"},
        {"QUOTES", "\"quoted\" and \"\"doubled\"\""},
        {"LONE_QUOTE", "\""},
        {"EMPTY", ""},
        {"CRLF", "line1\r\nline2"},
        {"CONTROL", "tab\there\x01\x1F\x7F"},
        {"NUL", std::string("a\0b", 3)},
        {"HIGH", "caf\xE9 \xFF"},
        {"DOLLARS", "$TARGETDIR$bin"},
        {"Name With Blanks", "v"},
        {"name,with\"quote", "w"},
    };
    TVariableManager vars;
    for (const auto& [name, value] : variables)
        vars.Add(name, value);
    std::string snapshot = SnapshotVariables(vars);

    TVariableManager restored;
    restored.Add("OLD", "must disappear");
    RestoreVariables(restored, snapshot);
    EXPECT_EQ(as_map(contents(restored)), as_map(contents(vars)));
    EXPECT_EQ(restored.count(), variables.size());
    EXPECT_FALSE(restored.Exists("OLD"));
}

TEST(TVariableManager, RestoreTakesCompletePairsOnly)
{
    TVariableManager vars;
    RestoreVariables(vars, "A,1,B,\"2,3\",ORPHAN");
    EXPECT_EQ(vars.count(), 2u);
    EXPECT_EQ(vars.GetValue("B"), "2,3");
    EXPECT_FALSE(vars.Exists("ORPHAN"));
    RestoreVariables(vars, "");
    EXPECT_EQ(vars.count(), 0u);
}

TEST(CommaText, ParsesQuotedAndEmptyItems)
{
    struct Case {
        std::string_view text;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a,b", {"a", "b"}},
        {"a,", {"a", ""}},
        {",", {"", ""}},
        {"a,,b", {"a", "", "b"}},
        {"\"\"", {""}},
        {"\"a,b\",c", {"a,b", "c"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"\"\"\"\"", {"\""}},
        {"\"x\"y,z", {"xy", "z"}},
        {"\"open, never closed", {"open, never closed"}},
        {"raw \"text", {"raw \"text"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parse_comma_text(c.text), c.items);
    }
}

TEST(CommaText, ReadsBackWhatItWrites)
{
    const std::vector<std::string> items = {"", "a", "a b", ",", "\"", "\"\"", "x\r\ny", "", "end,"};
    std::string text = comma_text(items);
    EXPECT_EQ(parse_comma_text(text), items);
}

struct SilentCase {
    const char* what;
    bool silent;
    std::string_view name;
    std::string_view origin;
    std::string_view expected;
};

TEST(SetVar, SilentRunKeepsCommandLineValues)
{
    const SilentCase cases[] = {
        {"silent, script write", true, "TARGETDIR", "Set Variable Action", "D:\\App"},
        {"silent, other spelling", true, "TargetDir", "Set Variable Action", "D:\\App"},
        {"silent, command line origin", true, "TARGETDIR", origin::inject_override_command_line, "C:\\Script"},
        {"not silent", false, "TARGETDIR", "Set Variable Action", "C:\\Script"},
        {"silent, other variable", true, "OTHER", "Set Variable Action", "C:\\Script"},
    };
    for (const SilentCase& c : cases) {
        SCOPED_TRACE(c.what);
        TVariableManager vars;
        vars.set_command_line_names({"targetdir"});
        vars.set_silent(c.silent);
        DefineVar(vars, "TARGETDIR", "D:\\App", origin::inject_override_command_line);
        DefineVar(vars, "OTHER", "D:\\App", origin::inject_override_command_line);
        SetVar(vars, c.name, "C:\\Script", c.origin);
        EXPECT_EQ(vars.GetValue(c.name), c.expected);
        // DefineVar of an existing variable goes through the same lock.
        DefineVar(vars, c.name, "C:\\Script", c.origin);
        EXPECT_EQ(vars.GetValue(c.name), c.expected);
    }
}

TEST(SetVar, LocksNewNamesTooWhileDefineVarLocksOnlyExistingOnes)
{
    TVariableManager vars;
    vars.set_command_line_names({"TARGETDIR"});
    vars.set_silent(true);
    // SetVar checks the lock before anything else, even for a new variable...
    SetVar(vars, "TARGETDIR", "C:\\Script", "Set Variable Action");
    EXPECT_FALSE(vars.Exists("TARGETDIR"));
    // ...while DefineVar only checks it when the variable exists.
    DefineVar(vars, "TARGETDIR", "C:\\Seed", origin::pre_initialization);
    EXPECT_EQ(vars.GetValue("TARGETDIR"), "C:\\Seed");
    DefineVar(vars, "", "x", origin::initialization);
    SetVar(vars, "", "x", origin::initialization);
    EXPECT_EQ(vars.count(), 1u);
}

TEST(TVariableManager, ConcurrentWritersReadersAndSnapshotsSeeWholeValues)
{
    // Every value written is one character repeated, so a torn read shows as mixed characters.
    constexpr int writers = 4;
    constexpr int rounds = 2000;
    constexpr std::size_t width = 48;
    TVariableManager vars;
    vars.Add("SHARED", std::string(width, 'a'));
    auto uniform = [](std::string_view value) {
        return value.size() == width && value.find_first_not_of(value.front()) == std::string_view::npos;
    };

    std::atomic<bool> done{false};
    std::atomic<int> bad_reads{0};
    std::atomic<int> bad_snapshots{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            char mark = static_cast<char>('b' + w);
            for (int i = 0; i < rounds; ++i) {
                std::string own = "W" + std::to_string(w) + "_" + std::to_string(i % 300);
                SetVar(vars, own, std::string(width, mark), "Test Action");
                DefineVar(vars, "SHARED", std::string(width, static_cast<char>(mark + (i % 2) * 10)), "Test Action");
                if (!uniform(vars.GetValue("SHARED")) || !uniform(Expand(vars, "$SHARED$")))
                    ++bad_reads;
            }
        });
    }
    threads.emplace_back([&] {
        while (!done) {
            std::vector<std::string> list = parse_comma_text(SnapshotVariables(vars));
            if (list.size() % 2 != 0)
                ++bad_snapshots;
            for (std::size_t i = 1; i < list.size(); i += 2)
                if (!uniform(list[i]))
                    ++bad_snapshots;
        }
    });
    for (int w = 0; w < writers; ++w)
        threads[static_cast<std::size_t>(w)].join();
    done = true;
    threads.back().join();

    EXPECT_EQ(bad_reads.load(), 0);
    EXPECT_EQ(bad_snapshots.load(), 0);
    EXPECT_EQ(vars.count(), 1u + writers * 300u);
    for (int w = 0; w < writers; ++w)
        EXPECT_EQ(vars.GetValue("w" + std::to_string(w) + "_0"), std::string(width, static_cast<char>('b' + w)));
}

} // namespace
} // namespace quillon
