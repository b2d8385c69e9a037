#include "FrameChooser.h"

#include "FrameList.h"
#include "WaveFitLoader.h"
#include "WaveView.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <climits>

bool FitEveryFrame(const WaveFitModule& module, const QString& source, std::int64_t frameSize, FittedTable& table,
                   std::string& error)
{
    FitRequest request;
    request.spreadTo = 0;
    request.frameSize = frameSize;
    table = FittedTable();
    return FitThroughModule(module.fit, module.release, QFile::encodeName(source).constData(), -1, request, table,
                            error);
}

int ChooseFrame(QWidget* parent, const WaveFitModule& module, const QString& source, FittedTable& table,
                std::vector<std::int64_t>* taken)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(taken ? QStringLiteral("Choose the Frames") : QStringLiteral("Choose a Frame"));
    auto* picture = new WaveView(&dialog);
    picture->setMinimumSize(256, 128);
    auto* frame = new QSpinBox(&dialog);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setToolTip(taken ? QStringLiteral("The frame of the table shown above")
                            : QStringLiteral("The frame of the table to fit, shown above"));
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
    refusal->setObjectName(QStringLiteral("refusal"));
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
    QLineEdit* frames = nullptr;
    if (taken) {
        frames = new QLineEdit(&dialog);
        frames->setObjectName(QStringLiteral("frames"));
        frames->setPlaceholderText(QStringLiteral("all, or 32 spread evenly"));
        frames->setToolTip(QStringLiteral("The frames to put in the slots from the selected one on, numbered from 1, "
                                          "in this order, e.g. 1,5,9-12; at most 32. Empty: a table of up to 32 "
                                          "frames gives all, a longer one 32 spread evenly, first and last included"));
        auto* framesLabel = new QLabel(QStringLiteral("Frames to &take:"), &dialog);
        framesLabel->setBuddy(frames);
        auto* framesRow = new QHBoxLayout;
        framesRow->addWidget(framesLabel);
        framesRow->addWidget(frames, 1);
        form->addLayout(framesRow);
    }
    form->addWidget(refusal);
    form->addWidget(buttons);
    const auto show = [&table, picture](int number) {
        if (number >= 1 && number <= static_cast<int>(table.frames.size()))
            picture->showSamples(table.frames[static_cast<std::size_t>(number - 1)].samples);
    };
    // Why the table, or the frames asked of it, can't be taken; empty when they can.
    QString fitRefusal;
    const auto judge = [&] {
        QString why = fitRefusal;
        if (why.isEmpty() && frames != nullptr && !frames->text().trimmed().isEmpty()) {
            std::vector<std::int64_t> list;
            why = QString::fromStdString(ParseFrameList(frames->text().trimmed().toStdString(), list));
            const auto last = static_cast<std::int64_t>(table.frames.size());
            if (why.isEmpty() && *std::max_element(list.begin(), list.end()) > last)
                why = QStringLiteral("frame %1 is past the table's last, %2")
                          .arg(*std::max_element(list.begin(), list.end()))
                          .arg(last);
            if (why.isEmpty())
                *taken = std::move(list);
        } else if (taken) {
            taken->clear();
        }
        refusal->setText(why);
        refusal->setVisible(!why.isEmpty());
        buttons->button(QDialogButtonBox::Ok)->setEnabled(why.isEmpty());
        dialog.adjustSize();  // the refusal's lines, or none
    };
    // The table shown: its frames in the spin box, the first drawn.
    const auto showTable = [&] {
        const int count = static_cast<int>(table.frames.size());
        frameLabel->setText(QStringLiteral("&Frame (1 to %1):").arg(count));
        const QSignalBlocker quiet(frame);
        frame->setRange(1, count);
        frame->setValue(1);
        show(1);
    };
    const auto refit = [&](int size) {
        FittedTable fitted;
        std::string error;
        const bool ok = FitEveryFrame(module, source, size, fitted, error);
        fitRefusal = ok ? QString() : QString::fromStdString(error);
        if (ok) {
            table = std::move(fitted);
            showTable();
        }
        judge();
    };
    QObject::connect(frame, QOverload<int>::of(&QSpinBox::valueChanged), &dialog, show);
    QObject::connect(frameSize, QOverload<int>::of(&QSpinBox::valueChanged), &dialog, refit);
    if (frames != nullptr)
        QObject::connect(frames, &QLineEdit::textChanged, &dialog, judge);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    showTable();
    judge();
    {
        const QSignalBlocker quiet(frameSize);
        frameSize->setValue(static_cast<int>(table.frameSize));
    }
    if (table.proposedFrameSize != 0)
        frameSize->setValue(static_cast<int>(table.proposedFrameSize));
    return dialog.exec() == QDialog::Accepted ? frame->value() - 1 : -1;
}

bool ChooseTableFrames(QWidget* parent, const QString& source, FitRequest& request)
{
    std::string error;
    const WaveFitModule* module = WaveFitEntry(error);
    FittedTable table;
    if (module == nullptr || !FitEveryFrame(*module, source, 0, table, error))
        return true;
    if (table.frames.size() <= 1 && table.proposedFrameSize == 0)
        return true;
    if (ChooseFrame(parent, *module, source, table, &request.frames) < 0)
        return false;
    // A size the user gave; else as the file says.
    request.frameSize = table.frameSizeFrom == FrameSizeFrom::kRequest ? table.frameSize : 0;
    return true;
}
