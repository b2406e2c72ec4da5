#include "nimbrel/Nimbrel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxFeedBytes = 64 * 1024;

struct LastCheck {
    std::string settings;
    std::string feed;
    std::string version;
    std::string url;
};
thread_local LastCheck g_last;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> SplitKey(const std::string& key) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(key);
    while (std::getline(in, part, '\\')) {
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

std::string ConfigHome() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}

// The "UpdateFeed" value of the settings file and section the product key names.
std::string FeedLocation(const char* productKey, std::string* settingsFile) {
    const std::vector<std::string> parts = SplitKey(productKey);
    if (parts.size() != 4) return {};
    *settingsFile = ConfigHome() + "/" + parts[1] + "/" + parts[2] + ".conf";
    std::ifstream in(*settingsFile);
    std::string line, section;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (section == parts[3]) {
            const auto equals = line.find('=');
            if (equals != std::string::npos && Trim(line.substr(0, equals)) == "UpdateFeed")
                return Trim(line.substr(equals + 1));
        }
    }
    return {};
}

// Reads a regular local file only: a FIFO or device as the feed would otherwise block the
// caller, which is the user interface.
bool ReadFeed(std::string location, std::string* text) {
    if (location.rfind("file://", 0) == 0) location = location.substr(7);
    if (location.empty() || location.front() != '/') return false;
    const int fd = ::open(location.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        text->resize(std::min<size_t>(static_cast<size_t>(info.st_size), kMaxFeedBytes));
        const ssize_t got = ::read(fd, text->data(), text->size());
        ok = got >= 0;
        if (ok) text->resize(static_cast<size_t>(got));
    }
    ::close(fd);
    return ok;
}

// Dotted numbers compared part by part; a missing part counts as 0. False when either is not
// such a version.
bool ParseVersion(const std::string& text, std::vector<long>* parts) {
    if (text.empty()) return false;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return false;
        parts->push_back(std::strtol(part.c_str(), nullptr, 10));
    }
    return true;
}

int CompareVersions(const std::vector<long>& a, const std::vector<long>& b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const long x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

void ReadFields(const std::string& text, std::string* version, std::string* url) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, equals)), value = Trim(line.substr(equals + 1));
        if (key == "version") *version = value;
        if (key == "url") *url = value;
    }
}

}  // namespace

extern "C" int NbCheckUpdate2(const char*, int, const NBREQUEST* request,
                              const char* currentVersion) {
    g_last = {};
    std::vector<long> current;
    if (!request || !request->productKey || !currentVersion ||
        !ParseVersion(currentVersion, &current))
        return NB_BAD_REQUEST;
    g_last.feed = FeedLocation(request->productKey, &g_last.settings);
    if (g_last.feed.empty()) return NB_NO_FEED;
    std::string text;
    if (!ReadFeed(g_last.feed, &text)) return NB_FEED_UNREADABLE;
    std::string version, url;
    ReadFields(text, &version, &url);
    std::vector<long> latest;
    if (!ParseVersion(version, &latest)) return NB_FEED_MALFORMED;
    g_last.version = version;
    g_last.url = url;
    return CompareVersions(latest, current) > 0 ? NB_UPDATE_AVAILABLE : NB_UP_TO_DATE;
}

extern "C" int NbCheckUpdate(const char* title, int interactive, const NBREQUEST* request) {
    return NbCheckUpdate2(title, interactive, request, NIMBREL_BUILT_VERSION);
}

extern "C" int NBSUCCEED(int result) {
    return result >= 0 ? 1 : 0;
}

extern "C" const char* NbSettingsFile(void) {
    return g_last.settings.c_str();
}
extern "C" const char* NbFeedLocation(void) {
    return g_last.feed.c_str();
}
extern "C" const char* NbLatestVersion(void) {
    return g_last.version.c_str();
}
extern "C" const char* NbDownloadUrl(void) {
    return g_last.url.c_str();
}
