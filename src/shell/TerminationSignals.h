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

signals:
    void TerminationRequested();

private:
    void ReadPipe();
    QSocketNotifier* FNotifier = nullptr;
};
