#include "AudioImport.h"

#include "Alert.h"
#include "FrameChooser.h"
#include "MonoWav.h"
#include "WaveFitLoader.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

namespace {

constexpr char kImportTitle[] = "Import Audio File";
constexpr char kImportFilter[] =
    "Audio files (*.wav *.WAV *.aif *.aiff *.flac *.ogg *.opus *.mp3 *.caf *.w64);;All files (*)";
constexpr char kSaveTitle[] = "Save the Fitted Wave";
constexpr char kSaveFilter[] = "WAV files (*.wav *.WAV)";

void Alert(const QString& message)
{
    RunAlertPanel(message.toUtf8().constData());
}

// The fit's one line, for the status line.
QString FitReport(const QString& name, const FittedTable& table, std::size_t chosen)
{
    const FittedFrame& frame = table.frames[chosen];
    QString line = table.frames.size() > 1 ? QStringLiteral("Imported frame %1 of %2 of %3 (%4 samples each, %5)")
                                                 .arg(frame.number)
                                                 .arg(table.frameCount)
                                                 .arg(name)
                                                 .arg(table.frameSize)
                                                 .arg(QString::fromStdString(table.sourceFormat))
                                           : QStringLiteral("Imported %1 (%2 samples, %3)")
                                                 .arg(name)
                                                 .arg(table.sourceFrames)
                                                 .arg(QString::fromStdString(table.sourceFormat));
    line += QStringLiteral(": energy above harmonic 63: %1 dB").arg(frame.aboveHarmonic63Db, 0, 'f', 1);
    if (table.scaledToFit)
        line += QStringLiteral("; scaled down by %1 dB").arg(-20.0 * std::log10(table.gain), 0, 'f', 1);
    if (table.proposedFrameSize != 0)
        line += QStringLiteral("; it looks like %1 cycles of %2 frames")
                    .arg(table.sourceFrames / table.proposedFrameSize)
                    .arg(table.proposedFrameSize);
    return line;
}

}  // namespace

QString ImportAudio(QWidget* parent, const QString& startFolder, QString& report)
{
    const QString source = QFileDialog::getOpenFileName(parent, kImportTitle, startFolder, kImportFilter);
    if (source.isEmpty())
        return QString();
    const QString name = QFileInfo(source).fileName();
    std::string error;
    const WaveFitModule* module = WaveFitEntry(error);
    FittedTable table;
    if (module == nullptr || !FitEveryFrame(*module, source, 0, table, error)) {
        Alert(QStringLiteral("Failed to import %1: %2")
                  .arg(name, module == nullptr
                                 ? "the audio fit module can't be opened (" + QString::fromStdString(error) + ")"
                                 : QString::fromStdString(error)));
        return QString();
    }
    const bool choice = table.frames.size() > 1 || table.proposedFrameSize != 0;
    const int chosen = choice ? ChooseFrame(parent, *module, source, table) : 0;
    if (chosen < 0)
        return QString();

    const QFileInfo info(source);
    const QString suffix = table.frames.size() > 1 ? QString::asprintf("-frame-%03d", chosen + 1) : QString();
    const QString proposed = info.path() + "/" + info.completeBaseName() + suffix + "-128.wav";
    // The dialog asks before replacing a file.
    const QString target = QFileDialog::getSaveFileName(parent, kSaveTitle, proposed, kSaveFilter);
    if (target.isEmpty())
        return QString();
    const std::string bytes = MonoWavBytes(table.frames[static_cast<std::size_t>(chosen)].samples, 128);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        Alert(QStringLiteral("Failed to save %1: %2").arg(QFileInfo(target).fileName(), file.errorString()));
        return QString();
    }
    report = FitReport(name, table, static_cast<std::size_t>(chosen));
    return target;
}
