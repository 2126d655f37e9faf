#include "support/FakePlatform.h"
#include "window/OrviWindowController.h"

#include <gtest/gtest.h>

using namespace orvi;
using namespace orvi::fake;
using namespace std::string_literals;

// The page comes from the first place that has it, with the face image in
// every placeholder; what cannot be shown gives way to the fallback page.
TEST(InterfaceLoading, ThePageComesFromTheFirstPlaceThatHasItWithItsFace)
{
    const std::string beside = "/opt/orvi/bin/OrviDesktop_OrviDesktop.bundle/Resources",
                      built = "/build/OrviDesktop_OrviDesktop.bundle",
                      resources = "/opt/orvi/share/orvi-desktop",
                      kept = resources + "/OrviDesktop_OrviDesktop.bundle",
                      page = beside + "/index.html", face = beside + "/orvi-default.webp",
                      fallback = "- <h1>[Orvi interface is unavailable.]</h1>";
    // Every placeholder is filled, and only the placeholder as written.
    auto faces = [](const std::string& face) { return face + face + " orvi_default_face_data"; };
    const std::string placeholders = faces("ORVI_DEFAULT_FACE_DATA"),
                      filled = "file://" + beside + "/ " + faces("data:image/webp;base64,UklGRgD/"),
                      unfilled = "file://" + beside + "/ " + placeholders;
    const std::string noBundle
        = " + could not load resource bundle: from /opt/orvi/bin/OrviDesktop_OrviDesktop.bundle or "
        + built + "\n";
    struct Row {
        std::map<std::string, std::string> files; // path and content
        std::string loads; // after "load ", with what went to standard error
        std::string unreadable = {}; // a file there that cannot be read
        bool noResources = false; // the program has no resources folder
    };
    for (const Row& row : std::initializer_list<Row> {
             { { { page, placeholders }, { face, "RIFF\0\xFF"s } }, filled },
             { { { page, placeholders }, { resources + "/orvi-default.webp", "RIFF\0\xFF"s } },
                 filled },
             { { { page, placeholders } }, unfilled },
             { { { page, placeholders }, { face, "RIFF" } }, unfilled, face },
             { { { page, "A" }, { resources + "/index.html", "B" } }, "file://" + beside + "/ A" },
             { { { built + "/Resources/index.html", "A" }, { resources + "/index.html", "B" } },
                 "file://" + built + "/Resources/ A" },
             { { { kept + "/Resources/index.html", "A" }, { kept + "/index.html", "B" },
                   { resources + "/index.html", "C" } },
                 "file://" + kept + "/Resources/ A" + noBundle },
             { { { kept + "/index.html", "A" }, { resources + "/index.html", "B" } },
                 "file://" + kept + "/ A" + noBundle },
             { { { resources + "/index.html", "A" } }, "file://" + resources + "/ A" + noBundle },
             { {}, fallback + noBundle, "", true }, { { { beside + "/x.html", "x" } }, fallback },
             { { { page, "<p>hi</p>" } }, fallback, page },
             { { { page, "caf\xE9" } }, fallback } }) {
        FakePlatform platform(false);
        for (auto& [path, text] : row.files)
            platform.put(path, text);
        platform.unreadable.insert(row.unreadable);
        if (row.noResources)
            platform.resources.reset();
        testing::internal::CaptureStderr();
        OrviWindowController controller(platform, built);
        std::string errors = testing::internal::GetCapturedStderr(), loaded = "(nothing)";
        for (Text call : platform.calls)
            loaded = call.starts_with("load ") ? call : loaded;
        EXPECT_EQ(loaded + (errors.empty() ? "" : " + " + errors), "load " + row.loads);
    }
}
