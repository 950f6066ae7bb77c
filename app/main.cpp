#include <QApplication>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "localisation/TandrelTexts.h"
#include "platform/BuildVersion.h"
#include "shell/CommandLine.h"
#include "shell/Form1.h"
#include "shell/HeadlessRun.h"
#include "shell/TerminationSignals.h"
#include "ui/VisualStyle.h"

namespace {

// The termination handlers go in before anything else of the process runs, libraries' own
// initialisers included: a SIGTERM, SIGINT or SIGHUP that comes while the program is still
// starting then ends it in order (status 0, everything saved) instead of killing it.
void InstallTerminationHandlersFirst(int, char**, char**) {
    TTerminationSignals::InstallHandlers();
}
__attribute__((section(".preinit_array"), used)) void (*kInstallTerminationHandlersFirst)(
    int, char**, char**) = &InstallTerminationHandlersFirst;

int RefuseCommandLine(const std::string& why) {
    std::fprintf(stderr, "tandrel: %s\n\n%s", why.c_str(), CommandLineUsage().c_str());
    return kExitBadUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that goes away (a closed pipe of event lines, a network peer) is a failed write
    // to be handled where it happens, never the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
#if defined(__GLIBC__)
    // Every streaming, detector and alarm thread would otherwise get a malloc arena of its own,
    // each keeping the frame-sized blocks it once held. Nothing on the frame path allocates per
    // frame, so two arenas cost no waiting and keep the resident set about 10 MB smaller.
    mallopt(M_ARENA_MAX, 2);
#endif
    const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (line.Action != TCommandLine::TAction::Window &&
        line.Action != TCommandLine::TAction::Headless) {
        // Listing cameras, printing a text or refusing the line: a signal simply ends it.
        TTerminationSignals::RestoreDefaultHandlers();
    }
    switch (line.Action) {
        case TCommandLine::TAction::Error:
            return RefuseCommandLine(line.Error);
        case TCommandLine::TAction::Help:
            std::fputs(CommandLineUsage().c_str(), stdout);
            return 0;
        case TCommandLine::TAction::Version:
            std::printf("Tandrel %d.%d.%d (build %d)\n", TANDREL_VERSION_MAJOR,
                        TANDREL_VERSION_MINOR, TANDREL_VERSION_RELEASE, TANDREL_VERSION_BUILD);
            return 0;
        default:
            break;
    }
    const bool windowless = line.Action != TCommandLine::TAction::Window;
    if (windowless) {
        // No window is shown, so no display is needed.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    application.setOrganizationName("Vantrelle Media Solutions");
    application.setApplicationName("Tandrel");
    // The toolkit has taken its own options out of the argument list; what is left means
    // nothing to either.
    if (line.Action == TCommandLine::TAction::Window && argc > 1) {
        return RefuseCommandLine(std::string("unknown argument ") + argv[1]);
    }
    int result = 0;
    if (line.Action == TCommandLine::TAction::ListCameras) {
        result = ListCameras();
    } else if (line.Action == TCommandLine::TAction::Headless) {
        THeadlessRun run(line);
        result = run.Run();
    } else {
        ApplyWindows10BlueStyle(application);
        TForm1 form;
        form.show();
        result = application.exec();
    }
    ClearCurrentTexts();
    return result;
}
