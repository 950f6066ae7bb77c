#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP (the terminal went away) into a Qt signal on the GUI thread
// (self-pipe: the handler only writes one byte), so the main window closes exactly as
// File > Exit does, settings saved.
class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;

    // Installs the handlers. The program calls this first thing, before anything that takes
    // time: a signal that arrives before any object of this class exists is kept in the pipe
    // and reported by the first one. Creating an object installs them too. Only calls that
    // need no initialised library are made, so it may run before any library is initialised.
    static bool InstallHandlers();
    // Gives the signals their default action back, for a run that does not watch for them; a
    // signal that came since InstallHandlers is raised again and takes that action now.
    static void RestoreDefaultHandlers();

signals:
    void TerminationRequested();

private:
    void ReadPipe();
    QSocketNotifier* FNotifier = nullptr;
};
