#pragma once

#include <string>
#include <string_view>

// What the program and its web interface promise each other: resource names,
// the face placeholder, the globals the page finds, the page functions the
// program calls and the name the page posts its messages under.
namespace orvi::PageContract {

inline constexpr std::string_view messageHandlerName = "orvi";

inline constexpr std::string_view interfacePageName = "index";
inline constexpr std::string_view interfacePageExtension = "html";
inline constexpr std::string_view faceImageName = "orvi-default";
inline constexpr std::string_view faceImageExtension = "webp";

// Every occurrence in the page text becomes the face image's data URL.
inline constexpr std::string_view facePlaceholder = "ORVI_DEFAULT_FACE_DATA";
inline constexpr std::string_view faceDataURLPrefix = "data:image/webp;base64,";

// Shown instead of the interface when its page cannot be found or read, with
// the message in the user's language.
inline constexpr std::string_view fallbackPageOpening = "<h1>";
inline constexpr std::string_view fallbackPageClosing = "</h1>";

inline constexpr std::string_view memberScriptOpening = "window.ORVI_MEMBER_ID = '";
inline constexpr std::string_view memberScriptClosing = "'; window.ORVI_KIOSK = true;";

// Called without arguments; a function the page has not defined (yet) is
// simply not called.
inline constexpr std::string_view pauseSnippet = "window.orviPause && window.orviPause()";
inline constexpr std::string_view resumeSnippet = "window.orviResume && window.orviResume()";

// The script that gives the page its globals before its own scripts run. The
// identifier is escaped for the single-quoted string, so the page gets
// exactly the stored text whatever it holds; an identifier the program made
// needs no escape and appears as it is.
std::string memberScript(std::string_view memberID);

} // namespace orvi::PageContract
