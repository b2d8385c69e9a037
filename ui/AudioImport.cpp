#include "AudioImport.h"

#include "Alert.h"
#include "MonoWav.h"
#include "WaveFitLoader.h"
#include "WaveView.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <climits>
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

// Fits `source` with frames of `frameSize` samples (0: as the file says),
// every frame kept to choose from.
bool Fit(const WaveFitModule& module, const QString& source, std::int64_t frameSize, FittedTable& table,
         std::string& error)
{
    FitRequest request;
    request.spreadTo = 0;
    request.frameSize = frameSize;
    table = FittedTable();
    return FitThroughModule(module.fit, module.release, QFile::encodeName(source).constData(), -1, request, table,
                            error);
}

// Which frame of a table, and how large its frames are: a spin box from 1
// to the last frame, over that frame's picture, and the frame size beside
// it, first the fit's proposal when it has one. A new frame size fits the
// file again. Returns the frame's index, or -1 when cancelled; `table` is
// then the table it was taken from.
int ChooseFrame(QWidget* parent, const WaveFitModule& module, const QString& source, FittedTable& table)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Choose a Frame"));
    auto* picture = new WaveView(&dialog);
    picture->setMinimumSize(256, 128);
    auto* frame = new QSpinBox(&dialog);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setToolTip(QStringLiteral("The frame of the table to fit, shown above"));
    auto* frameSize = new QSpinBox(&dialog);
    frameSize->setObjectName(QStringLiteral("frameSize"));
    frameSize->setRange(2, static_cast<int>(std::min<std::int64_t>(table.sourceFrames, INT_MAX)));
    frameSize->setSuffix(QStringLiteral(" samples"));
    // A size is taken once typed in full, not at every digit.
    frameSize->setKeyboardTracking(false);
    frameSize->setToolTip(QStringLiteral("How many samples each frame of the table has: one cycle each"));
    auto* frameLabel = new QLabel(&dialog);
    frameLabel->setBuddy(frame);
    auto* refusal = new QLabel(&dialog);
    refusal->setTextFormat(Qt::PlainText);
    refusal->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(frameLabel);
    row->addWidget(frame);
    row->addSpacing(12);
    auto* sizeLabel = new QLabel(QStringLiteral("Frame &size:"), &dialog);
    sizeLabel->setBuddy(frameSize);
    row->addWidget(sizeLabel);
    row->addWidget(frameSize);
    auto* form = new QVBoxLayout(&dialog);
    form->addWidget(picture);
    form->addLayout(row);
    form->addWidget(refusal);
    form->addWidget(buttons);
    const auto show = [&table, picture](int number) {
        if (number >= 1 && number <= static_cast<int>(table.frames.size()))
            picture->showSamples(table.frames[static_cast<std::size_t>(number - 1)].samples);
    };
    // The table shown: its frames in the spin box, the first drawn.
    const auto showTable = [&] {
        const int frames = static_cast<int>(table.frames.size());
        frameLabel->setText(QStringLiteral("&Frame (1 to %1):").arg(frames));
        const QSignalBlocker quiet(frame);
        frame->setRange(1, frames);
        frame->setValue(1);
        show(1);
    };
    const auto refit = [&](int size) {
        FittedTable fitted;
        std::string error;
        const bool ok = Fit(module, source, size, fitted, error);
        refusal->setText(ok ? QString() : QString::fromStdString(error));
        buttons->button(QDialogButtonBox::Ok)->setEnabled(ok);
        dialog.adjustSize();  // the refusal's lines, or none
        if (ok) {
            table = std::move(fitted);
            showTable();
        }
    };
    QObject::connect(frame, QOverload<int>::of(&QSpinBox::valueChanged), &dialog, show);
    QObject::connect(frameSize, QOverload<int>::of(&QSpinBox::valueChanged), &dialog, refit);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    showTable();
    {
        const QSignalBlocker quiet(frameSize);
        frameSize->setValue(static_cast<int>(table.frameSize));
    }
    if (table.proposedFrameSize != 0)
        frameSize->setValue(static_cast<int>(table.proposedFrameSize));
    return dialog.exec() == QDialog::Accepted ? frame->value() - 1 : -1;
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
    if (module == nullptr || !Fit(*module, source, 0, table, error)) {
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
