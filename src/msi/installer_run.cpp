#include "msi/installer_run.h"

#include "base/strings.h"

#include <algorithm>
#include <array>

namespace quillon::msi {

namespace {

constexpr std::array<std::string_view, 202> installer_property_names = {
    "MSIDISABLEEEUI",
    "MSIUNINSTALLSUPERSEDEDCOMPONENTS",
    "MSIRESTARTMANAGERCONTROL",
    "MSIARPSETTINGSIDENTIFIER",
    "MsiLogging",
    "MsiLogFileLocation",
    "MsiSystemRebootPending",
    "MsiRunningElevated",
    "MsiRestartManagerSessionKey",
    "MSIDISABLERMRESTART",
    "MSIRMSHUTDOWN",
    "MSIUSEREALADMINDETECTION",
    "MinorUpdateTargetRTM",
    "MSIDISABLELUAPATCHING",
    "MSIENFORCEUPGRADECOMPONENTRULES",
    "MSIPATCHREMOVE",
    "MsiPatchRemovalList",
    "MsiUISourceResOnly",
    "MsiUIHideCancel",
    "MsiUIProgressOnly",
    "ACTION",
    "ALLUSERS",
    "ARPAUTHORIZEDCDFPREFIX",
    "ARPCOMMENTS",
    "ARPCONTACT",
    "ARPINSTALLLOCATION",
    "ARPNOMODIFY",
    "ARPNOREMOVE",
    "ARPNOREPAIR",
    "ARPPRODUCTICON",
    "ARPREADME",
    "ARPSIZE",
    "ARPSYSTEMCOMPONENT",
    "ARPURLINFOABOUT",
    "ARPURLUPDATEINFO",
    "AVAILABLEFREEREG",
    "CCP_DRIVE",
    "DEFAULTUIFONT",
    "DISABLEADVTSHORTCUTS",
    "DISABLEMEDIA",
    "DISABLEROLLBACK",
    "EXECUTEACTION",
    "EXECUTEMODE",
    "FASTOEM",
    "INSTALLLEVEL",
    "LIMITUI",
    "LOGACTION",
    "MEDIAPACKAGEPATH",
    "MSINODISABLEMEDIA",
    "PRIMARYFOLDER",
    "PRIVILEGED",
    "PROMPTROLLBACKCOST",
    "REBOOT",
    "REBOOTPROMPT",
    "ROOTDRIVE",
    "SEQUENCE",
    "SHORTFILENAMES",
    "TRANSFORMS",
    "TRANSFORMSATSOURCE",
    "TRANSFORMSSECURE",
    "DATE",
    "TIME",
    "ADDDEFAULT",
    "ADDLOCAL",
    "ADDSOURCE",
    "ADVERTISE",
    "COMPADDLOCAL",
    "COMPADDSOURCE",
    "FILEADDDEFAULT",
    "FILEADDLOCAL",
    "FILEADDSOURCE",
    "PATCH",
    "REINSTALL",
    "REINSTALLMODE",
    "REMOVE",
    "ALPHA",
    "BORDERSIDE",
    "BORDERTOP",
    "CAPTIONHEIGHT",
    "COLORBITS",
    "INTEL",
    "INTEL64",
    "MSIAMD64",
    "PHYSICALMEMORY",
    "SCREENX",
    "SCREENY",
    "TEXTHEIGHT",
    "VIRTUALMEMORY",
    "AFTERREBOOT",
    "COSTINGCOMPLETE",
    "INSTALLED",
    "MSICHECKCRCS",
    "MSIUIHIDECANCEL",
    "MSIUIPROGRESSONLY",
    "MSIUISOURCERESONLY",
    "NOCOMPANYNAME",
    "NOUSERNAME",
    "OUTOFDISKSPACE",
    "OUTOFNORBDISKSPACE",
    "PRESELECTED",
    "PRIMARYVOLUMEPATH",
    "PRIMARYVOLUMESPACEAVAILABLE",
    "PRIMARYVOLUMESPACEREMAINING",
    "PRIMARYVOLUMESPACEREQUIRED",
    "PRODUCTLANGUAGE",
    "REPLACEINUSEFILES",
    "RESUME",
    "ROLLBACKDISABLED",
    "UILEVEL",
    "UPDATESTARTED",
    "UPGRADINGPRODUCTCODE",
    "VERSIONMSI",
    "ADMINPROPERTIES",
    "COMPANYNAME",
    "LOGONUSER",
    "MSIHIDDENPROPERTIES",
    "PIDKEY",
    "PRODUCTID",
    "USERLANGUAGEID",
    "USERNAME",
    "USERSID",
    "ADMINTOOLSFOLDER",
    "APPDATAFOLDER",
    "COMMONAPPDATAFOLDER",
    "COMMONFILES64FOLDER",
    "COMMONFILESFOLDER",
    "DESKTOPFOLDER",
    "FAVORITESFOLDER",
    "FONTSFOLDER",
    "LOCALAPPDATAFOLDER",
    "MYPICTURESFOLDER",
    "PERSONALFOLDER",
    "PROGRAMFILES64FOLDER",
    "PROGRAMFILESFOLDER",
    "PROGRAMMENUFOLDER",
    "SENDTOFOLDER",
    "STARTMENUFOLDER",
    "STARTUPFOLDER",
    "SYSTEM16FOLDER",
    "SYSTEM64FOLDER",
    "SYSTEMFOLDER",
    "TEMPFOLDER",
    "TEMPLATEFOLDER",
    "WINDOWSFOLDER",
    "WINDOWSVOLUME",
    "PATCHNEWPACKAGECODE",
    "PATCHNEWSUMMARYCOMMENTS",
    "PATCHNEWSUMMARYSUBJECT",
    "ARPHELPLINK",
    "ARPHELPTELEPHONE",
    "DISKPROMPT",
    "ISADMINPACKAGE",
    "LEFTUNIT",
    "MANUFACTURER",
    "MediaSourceDir",
    "MSIINSTANCEGUID",
    "MSINEWINSTANCE",
    "PIDTEMPLATE",
    "PRODUCTCODE",
    "PRODUCTNAME",
    "PRODUCTSTATE",
    "PRODUCTVERSION",
    "UPGRADECODE",
    "ADMINUSER",
    "COMPUTERNAME",
    "MSINTPRODUCTTYPE",
    "MSINTSUITEBACKOFFICE",
    "MSINTSUITEDATACENTER",
    "MSINTSUITEENTERPRISE",
    "MSINTSUITESMALLBUSINESS",
    "MSINTSUITESMALLBUSINESSRESTRICTED",
    "MSINTSUITEWEBSERVER",
    "MSINTSUITEPERSONAL",
    "MSINETASSEMBLYSUPPORT",
    "MSIWIN32ASSEMBLYSUPPORT",
    "OLEADVTSUPPORT",
    "REDIRECTEDDLLSUPPORT",
    "REMOTEADMINTS",
    "SERVICEPACKLEVEL",
    "SERVICEPACKLEVELMINOR",
    "SHAREDWINDOWS",
    "SHELLADVTSUPPORT",
    "SYSTEMLANGUAGEID",
    "TERMINALSERVER",
    "TTCSUPPORT",
    "VERSION9X",
    "VERSIONDATABASE",
    "VERSIONNT",
    "VERSIONNT64",
    "WINDOWSBUILD",
    "ORIGINALDATABASE",
    "SourceDir",
    "SRCDIR",
    "CLEANUPUNINSTALLROLLBACK",
    "CLIENTPROCESSID",
    "CLIENTUILEVEL",
    "CURRENTDIRECTORY",
    "DATABASE",
    "SUPPORTDIR",
    "PACKAGECODE",
    "PACKAGECODECHANGING",
    "SOURCEDIRPRODUCT",
};

bool starts_with_drive(std::string_view text)
{
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

std::string quoted(const std::string& value, bool quote)
{
    return quote ? "\"" + value + "\"" : value;
}

} // namespace

InstallerOperation OperationOf(bool install, bool remove)
{
    if (install)
        return InstallerOperation::install;
    return remove ? InstallerOperation::remove : InstallerOperation::advertise;
}

std::string_view ResultWord(int outcome)
{
    switch (outcome) {
    case 0: return "CANCEL";
    case 1: return "COMPLETE";
    case 2: return "REBOOT";
    default: return "ERROR";
    }
}

int RunOutcome(bool error, bool cancelled, bool skipped_for_cancel, bool restart)
{
    if (skipped_for_cancel || (cancelled && error))
        return 0;
    if (error)
        return -1;
    return restart ? 2 : 1;
}

bool IsInstallerPropertyName(std::string_view name)
{
    std::string upper = ascii_upper(name);
    return std::any_of(installer_property_names.begin(), installer_property_names.end(),
                       [&](std::string_view known) { return ascii_upper(known) == upper; });
}

std::string MediaPackagePath(std::string_view data_folder)
{
    std::string_view folder = data_folder;
    if (!folder.empty() && folder.back() == '\\')
        folder.remove_suffix(1);
    std::size_t last = folder.rfind('\\');
    folder = last == std::string_view::npos ? std::string_view{} : folder.substr(0, last + 1);
    if (starts_with_drive(folder))
        folder.remove_prefix(2);
    return std::string(folder);
}

std::string ComposeCommandLine(const CommandLineInputs& in)
{
    const std::string all_users = in.all_users ? "ALLUSERS=1 " : "ALLUSERS=\"\" ";
    std::string line = all_users;
    if (in.disable_rollback)
        line += "DISABLEROLLBACK=1 ";
    if (in.disable_restart_manager)
        line += "MSIRESTARTMANAGERCONTROL=Disable ";
    switch (in.operation) {
    case InstallerOperation::patch:
        line = "ADDLOCAL=ALL " + line;
        line += "SRCDIR=" + quoted(in.media_folder, in.quote_folders) + " ";
        line += "SRCDIREX=" + quoted(in.media_folder, in.quote_folders) + " ";
        return line;
    case InstallerOperation::install:
    case InstallerOperation::advertise: {
        bool advertise = in.operation == InstallerOperation::advertise;
        line += "ARPSYSTEMCOMPONENT=1 ARPNOREMOVE=1 ARPNOMODIFY=1 ARPNOREPAIR=1 ARPINSTALLLOCATION=\"" +
                in.target_folder + "\" ";
        std::string front;
        if (in.product_installed)
            front = !advertise && in.only_advertised_before ? "ADDLOCAL=ALL ADVERTISE=\"\" "
                                                            : "REINSTALL=ALL REINSTALLMODE=vomus ";
        else
            front = advertise ? "ADVERTISE=ALL " : "ADDLOCAL=ALL ";
        line = front + line;
        break;
    }
    case InstallerOperation::remove: line = "REMOVE=ALL " + line + all_users + "REMOVE=ALL "; break;
    }
    line += "SRCDIR=" + quoted(in.data_folder, in.quote_folders) + " ";
    line += "SOURCELIST=" + quoted(in.data_folder + ";" + in.package_folder, in.quote_folders || in.quote_source) + " ";
    line += "MEDIAPACKAGEPATH=" + quoted(in.media_package_path, in.quote_folders) + " ";
    line += "REBOOT=R ";
    return line;
}

std::vector<HandOverEntry> HandOverEntries(const HandOverInputs& in)
{
    const InstallerRequest& request = in.request;
    std::vector<HandOverEntry> entries;
    if (request.patch()) {
        entries.push_back({"SourceDir", request.media_folder});
        entries.push_back({"SRCDIREX", request.media_folder});
    } else {
        entries.push_back({"SourceDir", request.data_folder});
        entries.push_back({"MEDIAPACKAGEPATH", in.media_package_path});
    }
    // During a removal a recorded path that is gone stands for the media.
    bool replace_missing = !request.install_flag() && !request.patch();
    for (std::size_t i = 0; i + 1 < request.properties.size(); i += 2) {
        std::string value = in.path_form(request.properties[i + 1]);
        if (replace_missing && starts_with_drive(value) && !in.exists(value))
            value = request.data_folder;
        entries.push_back({request.properties[i], std::move(value)});
    }
    for (std::size_t i = 0; i + 1 < request.variables.size(); i += 2) {
        if (!IsInstallerPropertyName(request.variables[i]))
            entries.push_back({request.variables[i], in.path_form(request.variables[i + 1])});
    }
    return entries;
}

std::vector<std::string> LogHeaderLines(const LogHeaderInputs& in)
{
    std::vector<std::string> lines = {"=== " + in.caption + ": Applying Changes @" + in.timestamp + " ===", ""};
    const std::pair<std::string_view, const std::string*> blocks[] = {
        {"*** Variables ***", &in.variables},          {"*** Properties ***", &in.properties},
        {"*** MSI Database ***", &in.package},         {"*** GUID ***", &in.product_code},
        {"*** Data Directory ***", &in.data_folder},   {"*** Media Directory ***", &in.media_package_path},
        {"*** MSI Directory ***", &in.package_folder},
    };
    for (const auto& [title, value] : blocks) {
        lines.emplace_back(title);
        lines.push_back(*value);
        lines.emplace_back();
    }
    return lines;
}

std::string BusyProgressText(int attempt)
{
    int dots = attempt < 1 ? 1 : (attempt - 1) % 3 + 1;
    return std::string(installer_progress_text) + std::string(static_cast<std::size_t>(dots), '.');
}

std::string TrimSystemMessage(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' || text.back() == '.'))
        text.remove_suffix(1);
    return std::string(text);
}

std::string FinishErrorText(std::string text)
{
    std::size_t dot = text.find('.');
    if (dot != std::string::npos && dot + 1 == text.size())
        text.pop_back();
    return text;
}

std::string PackedGuid(std::string_view guid)
{
    std::string digits;
    for (char c : guid)
        if (c != '{' && c != '}' && c != '-')
            digits += c;
    if (digits.size() != 32)
        return {};
    std::string packed;
    // The first three groups reversed whole, the rest pair by pair.
    for (auto [from, length] : {std::pair{0, 8}, {8, 4}, {12, 4}})
        packed.append(digits.rbegin() + (32 - from - length), digits.rbegin() + (32 - from));
    for (std::size_t i = 16; i < 32; i += 2) {
        packed += digits[i + 1];
        packed += digits[i];
    }
    return ascii_upper(packed);
}

std::string LastUsedSource(std::string_view current, std::string_view package_folder)
{
    std::size_t last = current.rfind(';');
    std::string kept = last == std::string_view::npos ? std::string() : std::string(current.substr(0, last + 1));
    return kept + std::string(package_folder);
}

} // namespace quillon::msi
