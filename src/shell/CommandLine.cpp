#include "shell/CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <utility>

#include "notifications/MqttUrl.h"
#include "notifications/WebhookUrl.h"

namespace {

constexpr int kMaxZones = 10;

// A whole decimal integer in [min, max].
bool ParseInteger(const std::string& text, int min, int max, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < min || parsed > max) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

// "x0,y0,x1,y1" with x0 < x1 and y0 < y1, all at least 0.
bool ParseZone(const std::string& text, TRect& zone) {
    std::vector<int> values;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ',')) {
        int value = 0;
        if (!ParseInteger(part, 0, std::numeric_limits<int>::max(), value)) {
            return false;
        }
        values.push_back(value);
    }
    if (values.size() != 4 || text.back() == ',' || values[0] >= values[2] ||
        values[1] >= values[3]) {
        return false;
    }
    zone = TRect{values[0], values[1], values[2], values[3]};
    return true;
}

bool IsAllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& Arguments) {
    TCommandLine line;
    bool headless = false;
    bool listCameras = false;
    bool headlessOptionSeen = false;
    bool help = false;
    bool version = false;
    // Arguments that are not options of the program: the toolkit's in the window, meaningless
    // anywhere else.
    std::optional<std::string> stray;
    auto fail = [&line](const std::string& why) {
        line.Action = TCommandLine::TAction::Error;
        line.Error = why;
        return line;
    };
    for (size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& argument = Arguments[i];
        if (argument.rfind("--", 0) != 0) {
            if (!stray) {
                stray = argument;
            }
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const size_t equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (value) {
                return value;
            }
            if (i + 1 < Arguments.size()) {
                return Arguments[++i];
            }
            return std::nullopt;
        };
        auto noValue = [&] { return !value.has_value(); };

        if (name == "--help" && noValue()) {
            help = true;
        } else if (name == "--version" && noValue()) {
            version = true;
        } else if (name == "--headless" && noValue()) {
            headless = true;
        } else if (name == "--list-cameras" && noValue()) {
            listCameras = true;
        } else if (name == "--seconds" || name == "--camera" || name == "--zone" ||
                   name == "--mode" || name == "--sensitivity" || name == "--format" ||
                   name == "--instance" || name == "--mqtt" || name == "--webhook") {
            headlessOptionSeen = true;
            const std::optional<std::string> text = takeValue();
            if (!text) {
                return fail(name + " needs a value");
            }
            int number = 0;
            if (name == "--seconds") {
                if (!ParseInteger(*text, 1, std::numeric_limits<int>::max(), number)) {
                    return fail("--seconds takes a whole number of seconds above 0: " + *text);
                }
                line.Seconds = number;
            } else if (name == "--camera") {
                if (text->empty()) {
                    return fail("--camera takes a camera's name or index");
                }
                if (IsAllDigits(*text) &&
                    ParseInteger(*text, 0, std::numeric_limits<int>::max(), number)) {
                    line.CameraIndex = number;
                } else {
                    line.CameraName = *text;
                }
            } else if (name == "--zone") {
                TRect zone;
                if (!ParseZone(*text, zone)) {
                    return fail("--zone takes x0,y0,x1,y1 with x0 < x1 and y0 < y1: " + *text);
                }
                if (static_cast<int>(line.Zones.size()) == kMaxZones) {
                    return fail("at most 10 zones can be watched");
                }
                line.Zones.push_back(zone);
            } else if (name == "--mode") {
                if (!ParseInteger(*text, 1, 99, number)) {
                    return fail("--mode takes a detection mode number: " + *text);
                }
                line.Mode = number;
            } else if (name == "--sensitivity") {
                if (!ParseInteger(*text, 1, 100, number)) {
                    return fail("--sensitivity takes a number from 1 to 100: " + *text);
                }
                line.Sensitivity = number;
            } else if (name == "--format") {
                TRecordingFormat format = TRecordingFormat::Wmv;
                if (!ParseRecordingFormat(*text, format)) {
                    return fail("--format takes wmv or mp4: " + *text);
                }
                line.RecordingFormat = format;
            } else if (name == "--mqtt") {
                if (line.MqttUrl) {
                    return fail("--mqtt can be given once");
                }
                // The address is checked here, so that a bad one refuses the line at once; the
                // reason never repeats it (it may hold a password).
                TMqttSettings settings;
                std::string error;
                if (!ParseMqttUrl(*text, settings, error)) {
                    return fail("--mqtt: " + error);
                }
                line.MqttUrl = *text;
            } else if (name == "--webhook") {
                std::string error;
                if (!CheckWebhookUrl(*text, error)) {
                    return fail("--webhook: " + error);
                }
                line.Webhooks.push_back(*text);
            } else {
                if (text->empty()) {
                    return fail("--instance takes a name");
                }
                // The name becomes part of the lock file's name, which the file system limits.
                if (text->size() > kMaxInstanceNameLength) {
                    return fail("--instance takes a name of at most " +
                                std::to_string(kMaxInstanceNameLength) + " bytes; this one has " +
                                std::to_string(text->size()));
                }
                line.Instance = *text;
            }
        } else {
            return fail("unknown option " + argument);
        }
    }
    const bool windowless = headless || listCameras || help || version;
    if (stray && windowless) {
        return fail("unknown argument " + *stray);
    }
    if (help) {
        line.Action = TCommandLine::TAction::Help;
        return line;
    }
    if (version) {
        line.Action = TCommandLine::TAction::Version;
        return line;
    }
    if (headless && listCameras) {
        return fail("--headless and --list-cameras cannot be combined");
    }
    if (listCameras) {
        if (headlessOptionSeen) {
            return fail("--list-cameras takes no other option");
        }
        line.Action = TCommandLine::TAction::ListCameras;
        return line;
    }
    if (!headless && headlessOptionSeen) {
        return fail("these options need --headless");
    }
    line.Action = headless ? TCommandLine::TAction::Headless : TCommandLine::TAction::Window;
    return line;
}

bool MqttSettingsForRun(const TCommandLine& Line, TMqttSettings& Settings, std::string& Error) {
    if (!Line.MqttUrl) {
        return true;
    }
    TMqttSettings settings = Settings;
    if (!ParseMqttUrl(*Line.MqttUrl, settings, Error)) {
        Error = "--mqtt: " + Error;
        return false;
    }
    const char* password = std::getenv(kMqttPasswordVariable);
    if (password != nullptr && *password != '\0' && settings.Password.empty()) {
        if (settings.User.empty()) {
            Error = std::string(kMqttPasswordVariable) +
                    " holds a password, but the --mqtt address names no user "
                    "(mqtt://USER@HOST)";
            return false;
        }
        settings.Password = password;
    }
    Settings = std::move(settings);
    return true;
}

bool NotificationSettingsForRun(const TCommandLine& Line, TNotificationSettings& Settings,
                                std::string& Error) {
    TMqttSettings mqtt = Settings.Mqtt;
    if (!MqttSettingsForRun(Line, mqtt, Error)) {
        return false;
    }
    Settings.Mqtt = std::move(mqtt);
    if (!Line.Webhooks.empty()) {
        Settings.Webhooks.clear();
        for (const std::string& url : Line.Webhooks) {
            TWebhookSettings webhook;
            webhook.Url = url;
            Settings.Webhooks.push_back(std::move(webhook));
        }
    }
    return true;
}

std::string CommandLineUsage() {
    return "Usage: tandrel [--headless [options]] | --list-cameras | --help | --version\n"
           "\n"
           "Without options Tandrel opens its window.\n"
           "\n"
           "  --headless            watch without a window; events go to standard output as\n"
           "                        one JSON object per line\n"
           "  --seconds N           stop after N seconds (default: until SIGINT or SIGTERM)\n"
           "  --camera NAME|INDEX   the camera to watch (default: the stored one)\n"
           "  --zone x0,y0,x1,y1    a zone in frame pixels, top-down; up to 10 (default: the\n"
           "                        stored zones, else the whole picture)\n"
           "  --mode M              detection mode (default: the stored one)\n"
           "  --sensitivity S       1 to 100 (default: the stored one)\n"
           "  --format wmv|mp4      the recordings' file format: WMV, or MP4 with H.264\n"
           "                        video (default: the stored one, else WMV)\n"
           "  --instance NAME       run beside other instances under this name\n"
           "  --mqtt URL            send the events to this MQTT broker, not the stored one:\n"
           "                        mqtt[s]://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX]; the\n"
           "                        password may come from TANDREL_MQTT_PASSWORD instead\n"
           "  --webhook URL         post the events to this http(s) address; repeatable,\n"
           "                        in place of the stored webhooks\n"
           "  --list-cameras        list the cameras and their formats\n"
           "  --help                show this text\n"
           "  --version             show the version\n"
           "\n"
           "Exit status: 0 done, 2 the camera cannot be started, 3 another instance runs,\n"
           "64 a bad command line.\n";
}
