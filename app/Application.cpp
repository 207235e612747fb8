#include "Application.h"

#include "CatUnits.h"
#include "kestmsgdlg.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <new>
#include <stdexcept>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TApplication::ApplyTitle()
{
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppTitle));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

QString TApplication::ErrorMessage(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EConvError& e) {
        return e.Message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred.");
    }
}

void TApplication::ShowException(const std::exception_ptr& error)
{
    BeepMessageDlg(ErrorMessage(error), TMsgDlgType::mtError);
}

TFirstPaintProbe::TFirstPaintProbe(QWidget* window) : QObject(window)
{
    FTimer.start();
    window->installEventFilter(this);
}

bool TFirstPaintProbe::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && FElapsedMs < 0) {
        FElapsedMs = FTimer.elapsed();
        FPaintedAtNs = qint64(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
        watched->removeEventFilter(this);
        // Reported once the paint is done.
        QTimer::singleShot(0, this, [this] { Q_EMIT FirstPainted(FElapsedMs); });
    }
    return QObject::eventFilter(watched, event);
}
