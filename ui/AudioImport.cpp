#include "AudioImport.h"

#include "Alert.h"
#include "MonoWav.h"
#include "WaveFitLoader.h"
#include "WaveView.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QSaveFile>
#include <QSpinBox>

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

// Which frame of a table: a spin box from 1 to its last, over the chosen
// frame's picture. Returns its index, or -1 when cancelled.
int ChooseFrame(QWidget* parent, const FittedTable& table)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Choose a Frame"));
    auto* picture = new WaveView(&dialog);
    picture->setMinimumSize(256, 128);
    auto* frame = new QSpinBox(&dialog);
    frame->setRange(1, static_cast<int>(table.frames.size()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(picture);
    form->addRow(QStringLiteral("&Frame (1 to %1):").arg(table.frames.size()), frame);
    form->addRow(buttons);
    const auto show = [&table, picture](int number) { picture->showSamples(table.frames[number - 1].samples); };
    QObject::connect(frame, QOverload<int>::of(&QSpinBox::valueChanged), show);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    show(1);
    return dialog.exec() == QDialog::Accepted ? frame->value() - 1 : -1;
}

}  // namespace

QString ImportAudio(QWidget* parent, const QString& startFolder)
{
    const QString source = QFileDialog::getOpenFileName(parent, kImportTitle, startFolder, kImportFilter);
    if (source.isEmpty())
        return QString();
    const QString name = QFileInfo(source).fileName();
    std::string error;
    const WaveFitModule* module = WaveFitEntry(error);
    FitRequest request;
    request.spreadTo = 0;  // every frame, to choose from
    FittedTable table;
    if (module == nullptr || !FitThroughModule(module->fit, module->release, QFile::encodeName(source).constData(), -1,
                                               request, table, error)) {
        Alert(QStringLiteral("Failed to import %1: %2")
                  .arg(name, module == nullptr
                                 ? "the audio fit module can't be opened (" + QString::fromStdString(error) + ")"
                                 : QString::fromStdString(error)));
        return QString();
    }
    const int chosen = table.frames.size() > 1 ? ChooseFrame(parent, table) : 0;
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
    return target;
}
