#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the GUI thread (self-pipe: the handler only
// writes one byte), so the main window closes exactly as File > Exit does.
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
