#include "app/APSystemColleague.h"

#include <QDesktopServices>

#include "app/AppVersion.h"
#include "base/DebugOutput.h"
#include "nimbrel/Nimbrel.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr const char* kMaker = "Corvane";
constexpr const char* kProgram = "Tavrel";
constexpr const char* kKeyVersion = "1.0";
constexpr int kDocumentNames[] = {61259, 61258, 61349};
constexpr int kUpdateTitle = 61260;
constexpr int kNoFeed = 62262;
constexpr int kFeedUnreadable = 62263;
constexpr int kUpToDate = 62264;
constexpr int kUpdateAvailable = 62265;
constexpr int kFeedMalformed = 62266;

std::string KeyPath(const char* format, const char* a, const char* b, const char* c = nullptr) {
    char buffer[256];
    if (c) {
        std::snprintf(buffer, sizeof buffer, format, a, b, c);
    } else {
        std::snprintf(buffer, sizeof buffer, format, a, b);
    }
    return buffer;
}

Message UpdateMessage(int result) {
    switch (result) {
        case NB_UP_TO_DATE:
            return MakeMessage(kUpToDate, {{"%ProductVersion", TAVREL_VERSION}});
        case NB_UPDATE_AVAILABLE:
            return MakeMessage(kUpdateAvailable,
                               {{"%NewVersion", NbLatestVersion()}, {"%Url", NbDownloadUrl()}});
        case NB_NO_FEED:
            return MakeMessage(kNoFeed, {{"%SettingsFile", NbSettingsFile()}});
        case NB_FEED_MALFORMED:
            return MakeMessage(kFeedMalformed, {{"%Feed", NbFeedLocation()}});
        default:
            return MakeMessage(kFeedUnreadable, {{"%Feed", NbFeedLocation()}});
    }
}

}  // namespace

CAPSystemColleague::CAPSystemColleague(CMediatorSeam* mediator, std::string programFolder)
    : CColleague(mediator), programFolder_(std::move(programFolder)) {
    if (!programFolder_.empty() && programFolder_.back() != '/') programFolder_ += '/';
}

void CAPSystemColleague::SetProjectDirectory(const std::string& path) {
    profile_.WriteString("Directory", "Project", path);
}
std::string CAPSystemColleague::GetProjectDirectory() const {
    return profile_.GetString("Directory", "Project");
}
std::string CAPSystemColleague::GetMotionDirectory() const {
    return profile_.GetString("Directory", "Motion");
}
void CAPSystemColleague::SetMotionDirectory(const std::string& path) {
    profile_.WriteString("Directory", "Motion", path);
}
std::string CAPSystemColleague::GetPoseDirectory() const {
    return profile_.GetString("Directory", "Pose");
}
void CAPSystemColleague::SetPoseDirectory(const std::string& path) {
    profile_.WriteString("Directory", "Pose", path);
}

bool CAPSystemColleague::OpenUrl(const QUrl& url) {
    return urlOpener_ ? urlOpener_(url) : QDesktopServices::openUrl(url);
}

bool CAPSystemColleague::OpenDocument(int which) {
    if (which < 1 || which > 3) return false;
    const QString name = ui::Text(kDocumentNames[which - 1]);
    OpenUrl(QUrl::fromLocalFile(QString::fromStdString(programFolder_) + name));
    return true;  // what the desktop makes of it is its own affair
}

bool CAPSystemColleague::ShowUpdate(QWidget* parent) {
    const std::string productKey = KeyPath("Software\\%s\\%s\\%s", kMaker, kProgram, kKeyVersion);
    const std::string sharedKey = KeyPath("Software\\%s\\shared\\%s", kMaker, kProgram);
    NBREQUEST request{"TV", "ST", productKey.c_str(), sharedKey.c_str()};
    const std::string title = ui::Strings().Get(kUpdateTitle);
    const int result = NbCheckUpdate2(title.c_str(), 1, &request, TAVREL_VERSION);
    const bool answered = NBSUCCEED(result) != 0;
    if (!answered) DebugOutput("CAPSystemColleague::ShowUpdate() Error!\n");
    ui::ShowMessage(parent, UpdateMessage(result),
                    answered ? QMessageBox::Information : QMessageBox::Warning);
    return answered;
}

}  // namespace tavrel
