#pragma once
// The update check: compares the program's version with the one an update feed announces.
// Plain C linkage so that any caller can load it. The feed's location is a setting: the value
// "UpdateFeed" in the per-user settings file named by the request's product key
// ("Software\Maker\Program\Version" -> $XDG_CONFIG_HOME/Maker/Program.conf, section
// [Version]). A feed is a local file (a path or a file:// URL) of "key=value" lines:
// "version=1.2.0" and, optionally, "url=<where to get it>".
#ifdef __cplusplus
extern "C" {
#endif

typedef struct NBREQUEST {
    const char* productCode;
    const char* editionCode;
    const char* productKey;  // "Software\Corvane\Tavrel\1.0"
    const char* sharedKey;   // "Software\Corvane\shared\Tavrel"
} NBREQUEST;

enum {
    NB_UP_TO_DATE = 0,
    NB_UPDATE_AVAILABLE = 1,
    NB_BAD_REQUEST = -1,
    NB_NO_FEED = -2,          // no feed location configured
    NB_FEED_UNREADABLE = -3,  // the location cannot be read (missing, not a file, a network URL)
    NB_FEED_MALFORMED = -4,   // read, but it names no version
};

// Runs one check for the program of the request, whose running version is currentVersion
// (dotted numbers). Never waits on anything but a regular local file. Returns an NB_ code.
int NbCheckUpdate2(const char* title, int interactive, const NBREQUEST* request,
                   const char* currentVersion);
// As above for the version this library was built with.
int NbCheckUpdate(const char* title, int interactive, const NBREQUEST* request);
// Non-zero when the check ran to an answer (up to date or an update available).
int NBSUCCEED(int result);

// Details of the last check (empty strings when it did not get that far).
const char* NbSettingsFile(void);  // where the feed location was looked for
const char* NbFeedLocation(void);
const char* NbLatestVersion(void);
const char* NbDownloadUrl(void);

#ifdef __cplusplus
}
#endif
