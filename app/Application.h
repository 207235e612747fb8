#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QString>

#include <exception>

// The program's application object: an error that escapes an event handler is shown in an
// error box captioned with the application's title, and the program goes on with the next
// event instead of ending.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Gives the application its title "Morvex Tools" as its name. Qt's display name stays
    // unset: Qt would append it to every window's caption.
    static void ApplyTitle();

    // The text shown for an error that reached the general error reporting.
    static QString ErrorMessage(const std::exception_ptr& error);
    // Shows that text; used by notify and by any place that reports the same way.
    static void ShowException(const std::exception_ptr& error);
};

// Watches a window for its first paint: the moment a user first sees it. Used to measure
// start-up.
class TFirstPaintProbe : public QObject
{
    Q_OBJECT

public:
    // Starts counting now; watches window.
    explicit TFirstPaintProbe(QWidget* window);
    qint64 ElapsedMs() const { return FElapsedMs; }
    // When the first paint came, in nanoseconds of the system's monotonic clock (comparable
    // between processes); -1 before it.
    qint64 PaintedAtNs() const { return FPaintedAtNs; }
    // Counts from an earlier start (for example the entry of main).
    void SetStart(const QElapsedTimer& start) { FTimer = start; }

Q_SIGNALS:
    void FirstPainted(qint64 elapsedMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QElapsedTimer FTimer;
    qint64 FElapsedMs = -1;
    qint64 FPaintedAtNs = -1;
};
