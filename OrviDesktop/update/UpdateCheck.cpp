#include "update/UpdateCheck.h"

#include "base/Text.h"
#include "base/URL.h"
#include "update/VersionComparison.h"

namespace orvi {

namespace {

// A manifest is a few hundred bytes; a server that sends more, or sends the
// program round, or stalls, has no manifest for it.
constexpr URLRequestLimits manifestLimits { 1 << 20, 5, 60 };

void note(EventLog& log, const std::string& outcome, const std::string& message)
{
    log.record(LogLevel::info, "Update check: " + message,
        { { "ORVI_EVENT", "update-check" }, { "ORVI_OUTCOME", outcome } });
}

} // namespace

void UpdateCheck::start(Platform& platform, const std::string& endpointURL, bool silent)
{
    auto url = parseURL(endpointURL);
    if (!url)
        return;

    // The worker touches only the queue and the (unchanging) bundle, never a
    // window or a default.
    MainQueue& mainQueue = platform.mainQueue();
    const MainBundle& bundle = platform.mainBundle();
    EventLog& log = platform.eventLog();
    platform.urlSession().dataTask(url->text, manifestLimits,
        [&platform, &mainQueue, &bundle, &log, silent](std::optional<Bytes> body) {
            // No connection, a refused certificate, a body too large: nothing.
            if (!body)
                return note(log, "no-answer", "no usable answer from the update server");
            // The status is never looked at: an error page is simply no manifest,
            // and a valid manifest is used whatever the status.
            auto manifest = OrviDesktopUpdateManifest::decode(*body);
            if (!manifest)
                return note(log, "no-manifest", "the answer is no update manifest");
            Result result { manifest->macOS.version, bundle.shortVersionString().value_or("0"),
                silent, manifest->macOS };
            mainQueue.async([&platform, result] { finish(platform, result); });
        });
}

// The versions and the notes stay as written; the words around them are the
// user's.
void UpdateCheck::finish(Platform& platform, const Result& result)
{
    auto& localization = platform.localization();
    bool newer = isVersionNewer(result.manifestVersion, result.runningVersion);
    note(platform.eventLog(), newer ? "newer" : "up-to-date",
        "the server offers " + result.manifestVersion + ", this is " + result.runningVersion);
    if (!newer) {
        if (result.silent)
            return;
        auto alert = platform.makeAlert();
        alert->setMessageText(localization.localizedString(UIText("Orvi Desktop is up to date")));
        alert->setInformativeText(replacingPlaceholder(
            // Translators: %s is the running version, as "1.4.1".
            localization.localizedString(UIText("You have version %s.")), result.runningVersion));
        alert->addButtonWithTitle(localization.localizedString(UIText("OK")));
        alert->runModal();
        return;
    }

    // The version exactly as the server wrote it names the notice.
    std::string noticeKey = noticeKeyPrefix + result.manifestVersion;
    auto& defaults = platform.userDefaults();
    if (result.silent && defaults.boolForKey(noticeKey))
        return;
    // Remembered before the alert, whatever the answer.
    defaults.setBool(true, noticeKey);

    auto alert = platform.makeAlert();
    alert->setMessageText(replacingPlaceholder(
        // Translators: %s is the new version, as "1.4.2"; it can be downloaded.
        localization.localizedString(UIText("Orvi Desktop %s is ready")), result.manifestVersion));
    alert->setInformativeText(result.release.notes);
    alert->addButtonWithTitle(localization.localizedString(UIText("Download Update")));
    alert->addButtonWithTitle(localization.localizedString(UIText("Later")));
    if (alert->runModal() != AlertResponse::firstButton)
        return;

    // The manifest is not signed: only a web address is opened, never a file,
    // a share or a launcher the default handler might run.
    auto download = parseURL(result.release.downloadURL);
    if (!download || !isWebURL(*download))
        return;
    platform.workspace().openURL(download->text);
}

} // namespace orvi
