// Writes the generated street scenes as video files for the file cameras, each with its truth:
//   make_test_scenes FOLDER
// gives FOLDER/scene-N.avi (MPEG-4 part 2, low bit rate, a key frame every 25 frames) and
// FOLDER/scene-N.csv (per frame the percent of each zone covered by walkers) for every scene.
#include <gst/gst.h>

#include <cstdio>
#include <string>

#include "scenes/SceneCompression.h"
#include "scenes/SceneGenerator.h"

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_scenes FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    int failures = 0;
    int number = 0;
    for (const TSceneDescription& description : StandardScenes()) {
        ++number;
        const TScene scene = GenerateScene(description);
        const std::string base = folder + "/scene-" + std::to_string(number);
        std::string message;
        if (!WriteSceneVideo(scene.Frames, description.Width, description.Height,
                             description.FramesPerSecond, 150000, 25, base + ".avi", message)) {
            std::fprintf(stderr, "%s.avi: %s\n", base.c_str(), message.c_str());
            ++failures;
            continue;
        }
        FILE* truth = std::fopen((base + ".csv").c_str(), "w");
        if (truth == nullptr) {
            std::fprintf(stderr, "%s.csv cannot be written\n", base.c_str());
            ++failures;
            continue;
        }
        std::fprintf(truth, "# %s; zones:", description.Name.c_str());
        for (const TSceneZone& zone : scene.Zones) {
            std::fprintf(truth, " %s (%d,%d)-(%d,%d)", zone.Name.c_str(), zone.Rect.Left,
                         zone.Rect.Top, zone.Rect.Right, zone.Rect.Bottom);
        }
        std::fprintf(truth, "\nframe");
        for (const TSceneZone& zone : scene.Zones) {
            std::fprintf(truth, ",%s", zone.Name.c_str());
        }
        std::fprintf(truth, "\n");
        for (size_t f = 0; f < scene.Coverage.size(); ++f) {
            std::fprintf(truth, "%zu", f);
            for (const double coverage : scene.Coverage[f]) {
                std::fprintf(truth, ",%.2f", coverage);
            }
            std::fprintf(truth, "\n");
        }
        std::fclose(truth);
        std::printf("%s.avi: %s\n", base.c_str(), description.Name.c_str());
    }
    return failures == 0 ? 0 : 1;
}
