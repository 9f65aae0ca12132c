#include "engine/media_dialogs.h"

#include "dialogs/uPool.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_text.h"

#include <span>

namespace quillon {

namespace {

// The forms as built into the engine, with their English texts; the message
// table's texts replace them whenever a form is shown.
constexpr std::string_view proxy_form = R"(object TqvoProxy: TForm
  BorderStyle = bsDialog
  Caption = 'Retry Download?'
  ClientHeight = 290
  ClientWidth = 310
  Color = clWhite
  Font.Height = -11
  Font.Name = 'Tahoma'
  object Label1: TLabel
    Left = 48
    Top = 16
    Width = 241
    Height = 33
    WordWrap = True
  end
  object GroupBox1: TGroupBox
    Left = 16
    Top = 64
    Width = 273
    Height = 129
    Color = clWhite
    TabOrder = 0
    object Label2: TLabel
      Left = 16
      Top = 24
      Width = 113
      Height = 13
    end
    object Server: TEdit
      Left = 16
      Top = 40
      Width = 113
      Height = 21
      TabOrder = 0
    end
    object Label3: TLabel
      Left = 16
      Top = 72
      Width = 113
      Height = 13
    end
    object Port: TEdit
      Left = 16
      Top = 88
      Width = 113
      Height = 21
      TabOrder = 1
    end
    object Label5: TLabel
      Left = 144
      Top = 24
      Width = 113
      Height = 13
    end
    object User: TEdit
      Left = 144
      Top = 40
      Width = 113
      Height = 21
      TabOrder = 2
    end
    object Label6: TLabel
      Left = 144
      Top = 72
      Width = 113
      Height = 13
    end
    object Password: TEdit
      Left = 144
      Top = 88
      Width = 113
      Height = 21
      PasswordChar = '*'
      TabOrder = 3
    end
  end
  object Label4: TLabel
    Left = 40
    Top = 200
    Width = 241
    Height = 41
    WordWrap = True
  end
  object BitBtn1: TBitBtn
    Left = 136
    Top = 248
    Width = 75
    Height = 25
    Default = True
    TabOrder = 1
  end
  object BitBtn2: TBitBtn
    Left = 216
    Top = 248
    Width = 75
    Height = 25
    TabOrder = 2
  end
end
)";

constexpr std::string_view resume_form = R"(object TqvoProxyEx: TForm
  BorderStyle = bsDialog
  ClientHeight = 207
  ClientWidth = 435
  Color = clWhite
  Font.Height = -11
  Font.Name = 'Tahoma'
  object Label1: TLabel
    Left = 48
    Top = 16
    Width = 369
    Height = 33
    WordWrap = True
  end
  object Label2: TLabel
    Left = 16
    Top = 56
    Width = 369
    Height = 13
  end
  object Resume: TRzRadioButton
    Left = 16
    Top = 80
    Width = 401
    Height = 17
    Checked = True
    TabOrder = 1
  end
  object NewCopy: TRzRadioButton
    Left = 16
    Top = 96
    Width = 401
    Height = 17
    TabOrder = 2
  end
  object Label4: TLabel
    Left = 40
    Top = 128
    Width = 377
    Height = 41
    WordWrap = True
  end
  object BitBtn1: TBitBtn
    Left = 264
    Top = 168
    Width = 75
    Height = 25
    Default = True
    TabOrder = 0
  end
  object BitBtn2: TBitBtn
    Left = 344
    Top = 168
    Width = 75
    Height = 25
    TabOrder = 3
  end
end
)";

constexpr std::string_view extract_form = R"(object TqvoExtract: TForm
  BorderStyle = bsDialog
  ClientHeight = 200
  ClientWidth = 354
  Color = clWhite
  Font.Height = -11
  Font.Name = 'Tahoma'
  object Label1: TLabel
    Left = 48
    Top = 16
    Width = 289
    Height = 33
    WordWrap = True
  end
  object Download: TRzRadioButton
    Left = 16
    Top = 64
    Width = 321
    Height = 17
    Checked = True
    TabOrder = 0
  end
  object Extract: TRzRadioButton
    Left = 16
    Top = 80
    Width = 321
    Height = 17
    TabOrder = 1
  end
  object Label4: TLabel
    Left = 40
    Top = 112
    Width = 297
    Height = 33
    WordWrap = True
  end
  object BitBtn1: TBitBtn
    Left = 184
    Top = 160
    Width = 75
    Height = 25
    Default = True
    TabOrder = 2
  end
  object BitBtn2: TBitBtn
    Left = 264
    Top = 160
    Width = 75
    Height = 25
    TabOrder = 3
  end
end
)";

enum class Answer { none, first, second, timeout };
constexpr UINT_PTR answer_timer = 1;

// One modal question: texts from the message table by control name, the
// first button, the second button (also Esc and the close box), the timer.
class MediaDialog {
public:
    MediaDialog(const MediaDialogHost& host, std::string_view form, std::string_view name)
        : m_host(host), m_form(form), m_name(name)
    {
    }

    Result<Answer> ask(const std::vector<std::pair<std::string, int>>& texts, bool timed,
                       const std::function<void(TPoolTemplate&)>& before = {},
                       const std::function<void(TPoolTemplate&)>& after = {})
    {
        std::unique_ptr<TPoolTemplate> form = TRY(TPoolTemplate::LoadText(m_form, std::string(m_name) + ".dfm"));
        TPoolTemplate& f = *form;
        for (const auto& [control, line] : texts) {
            if (control.empty())
                SetWindowTextW(f.window(), win32::to_wide(m_host.messages.text(line)).c_str());
            else if (const TPoolTemplate::Control* c = f.find(control))
                SetWindowTextW(c->window, win32::to_wide(m_host.messages.text(line)).c_str());
        }
        if (before)
            before(f);
        Answer answer = Answer::none;
        f.on_click = [&](const TPoolTemplate::Control& control) {
            if (control.model->name == "BitBtn1")
                answer = Answer::first;
            else if (control.model->name == "BitBtn2")
                answer = Answer::second;
        };
        f.on_close = [&] { answer = Answer::second; };
        f.on_escape = [&] { answer = Answer::second; };
        f.on_timer = [&](UINT_PTR id) {
            if (id == answer_timer)
                answer = Answer::timeout;
        };
        center_over_owner(f.window());
        if (m_host.shell != nullptr)
            m_host.shell->set_attention(false);
        if (timed)
            SetTimer(f.window(), answer_timer, m_host.timeout_ms, nullptr);
        bool owner_enabled = m_host.owner != nullptr && IsWindowEnabled(m_host.owner);
        if (owner_enabled)
            EnableWindow(m_host.owner, FALSE);
        ShowWindow(f.window(), SW_SHOW);
        SetForegroundWindow(f.window());
        MSG message;
        while (answer == Answer::none && GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (f.pre_translate(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (timed)
            KillTimer(f.window(), answer_timer);
        if (after)
            after(f);
        if (owner_enabled)
            EnableWindow(m_host.owner, TRUE);
        ShowWindow(f.window(), SW_HIDE);
        if (m_host.shell != nullptr)
            m_host.shell->clear_attention();
        return answer;
    }

private:
    void center_over_owner(HWND window) const
    {
        RECT area{};
        if (m_host.owner == nullptr || !GetWindowRect(m_host.owner, &area))
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        RECT own{};
        GetWindowRect(window, &own);
        int width = own.right - own.left;
        int height = own.bottom - own.top;
        SetWindowPos(window, HWND_TOP, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    }

    const MediaDialogHost& m_host;
    std::string_view m_form;
    std::string_view m_name;
};

bool checked(TPoolTemplate& form, const char* name)
{
    const TPoolTemplate::Control* control = form.find(name);
    return control != nullptr && SendMessageW(control->window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string edit_text(TPoolTemplate& form, const char* name)
{
    const TPoolTemplate::Control* control = form.find(name);
    return control != nullptr ? window_text_ansi(control->window) : std::string();
}

void set_edit(TPoolTemplate& form, const char* name, const std::string& text)
{
    if (const TPoolTemplate::Control* control = form.find(name))
        SetWindowTextW(control->window, win32::to_wide(text).c_str());
}

} // namespace

Result<std::optional<ProxySettings>> AskRetryThroughProxy(const MediaDialogHost& host, const ProxySettings& current)
{
    MediaDialog dialog(host, proxy_form, "TqvoProxy");
    ProxySettings answered = current;
    Answer answer = TRY(dialog.ask(
        {{"", 25},
         {"Label1", 26},
         {"GroupBox1", 27},
         {"Label2", 28},
         {"Label3", 29},
         {"Label5", 41},
         {"Label6", 42},
         {"Label4", 30},
         {"BitBtn1", 31},
         {"BitBtn2", 32}},
        false,
        [&](TPoolTemplate& form) {
            set_edit(form, "Server", current.server);
            set_edit(form, "Port", current.port);
            set_edit(form, "User", current.user);
            set_edit(form, "Password", current.password);
        },
        [&](TPoolTemplate& form) {
            answered = {edit_text(form, "Server"), edit_text(form, "Port"), edit_text(form, "User"),
                        edit_text(form, "Password")};
        }));
    if (answer == Answer::second)
        return std::optional<ProxySettings>();
    return std::optional<ProxySettings>(answered);
}

Result<std::optional<ResumeChoice>> AskResumeOrNewCopy(const MediaDialogHost& host)
{
    MediaDialog dialog(host, resume_form, "TqvoProxyEx");
    bool resume = true;
    Answer answer = TRY(dialog.ask({{"", 25},
                                    {"Label1", 49},
                                    {"Label2", 50},
                                    {"Resume", 51},
                                    {"NewCopy", 52},
                                    {"Label4", 53},
                                    {"BitBtn1", 38},
                                    {"BitBtn2", 39}},
                                   true, {}, [&](TPoolTemplate& form) { resume = checked(form, "Resume"); }));
    if (answer == Answer::second || answer == Answer::none)
        return std::optional<ResumeChoice>();
    return std::optional<ResumeChoice>(resume ? ResumeChoice::resume : ResumeChoice::new_copy);
}

Result<std::optional<ExtractChoice>> AskDownloadOrExtract(const MediaDialogHost& host)
{
    MediaDialog dialog(host, extract_form, "TqvoExtract");
    bool download = true;
    Answer answer = TRY(dialog.ask(
        {{"", 33}, {"Label1", 34}, {"Download", 35}, {"Extract", 36}, {"Label4", 37}, {"BitBtn1", 38}, {"BitBtn2", 39}},
        true, {}, [&](TPoolTemplate& form) { download = checked(form, "Download"); }));
    if (answer == Answer::second || answer == Answer::none)
        return std::optional<ExtractChoice>();
    // Unanswered, the question always fetches a fresh copy.
    if (answer == Answer::timeout)
        return std::optional<ExtractChoice>(ExtractChoice::download);
    return std::optional<ExtractChoice>(download ? ExtractChoice::download : ExtractChoice::extract);
}

} // namespace quillon
