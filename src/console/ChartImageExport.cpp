#include "console/ChartImageExport.h"

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeySequence>
#include <QMetaObject>
#include <QWidget>
#include <cerrno>
#include <filesystem>
#include <string_view>

#include "chart/ChartCtrl.h"
#include "chart/ChartPicture.h"
#include "console/OperatorPrompts.h"
#include "service/WholeFile.h"

namespace {

const QString kCaption = QStringLiteral("Save chart image");
const QString kFilter = QStringLiteral("PNG image (*.png);;SVG image (*.svg)");
const QString kMsgSaved = QStringLiteral("The chart image was saved to %1.");
const QString kMsgFailed = QStringLiteral("The chart image could not be saved.\n%1");
const QString kMsgBusy =
    QStringLiteral("A chart image is still being saved; try again when it is done.");
const QString kMsgFormat = QStringLiteral(
    "Chart images are saved as PNG (.png) or SVG (.svg) files; %1 is neither, so nothing was "
    "saved.");

// PNG bytes of the picture; the file says the picture's resolution, so a program that honours
// it shows the picture as large as the chart on screen.
QByteArray PngBytes(QImage image) {
    const qreal ratio = image.devicePixelRatio();
    image.setDotsPerMeterX(qRound(image.dotsPerMeterX() * ratio));
    image.setDotsPerMeterY(qRound(image.dotsPerMeterY() * ratio));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) bytes.clear();
    return bytes;
}

}  // namespace

ChartImageExport::ChartImageExport(QWidget* window, OperatorPrompts& prompts)
    : m_window(window), m_prompts(prompts) {}

ChartImageExport::~ChartImageExport() {
    if (m_thread.joinable()) m_thread.join();
}

QAction* ChartImageExport::AddChart(CChartCtrl* chart, const QString& menuText,
                                    const QKeySequence& shortcut, const QString& suggestedName) {
    auto* action = new QAction(menuText, m_window);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this,
            [this, chart, suggestedName] { Save(chart, suggestedName); });
    m_window->addAction(action);
    return action;
}

std::optional<ChartImageExport::Format> ChartImageExport::FormatOf(QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix.isEmpty()) {
        path += QStringLiteral(".png");
        return Format::Png;
    }
    if (suffix == QLatin1String("png")) return Format::Png;
    if (suffix == QLatin1String("svg")) return Format::Svg;
    return std::nullopt;
}

void ChartImageExport::Save(CChartCtrl* chart, const QString& suggestedName) {
    if (chart == nullptr) return;
    // One file at a time, and the window never waits for the one being written.
    if (Busy()) {
        m_prompts.ShowMessage(kMsgBusy);
        return;
    }
    QString path = m_prompts.AskSavePath(kCaption, suggestedName, kFilter);
    if (path.isEmpty()) return;
    const std::optional<Format> format = FormatOf(path);
    if (!format) {
        m_prompts.ShowMessage(kMsgFormat.arg(QFileInfo(path).fileName()));
        return;
    }
    // Drawn here, where the chart lives: a moment. PNG encoding and the disk may take longer.
    QImage image;
    QByteArray svg;
    if (*format == Format::Png) {
        image = qtmchart::ChartImage(*chart, kPngScale);
    } else {
        svg = qtmchart::ChartSvg(*chart, QFileInfo(path).completeBaseName());
    }
    if (m_thread.joinable()) m_thread.join();
    m_busy = true;
    const std::filesystem::path target(QFile::encodeName(path).toStdString());
    m_thread = std::thread([this, target, path, image = std::move(image), svg = std::move(svg)] {
        const QByteArray bytes = image.isNull() ? svg : PngBytes(image);
        qtm::FileResult result;
        if (bytes.isEmpty()) {
            result = qtm::FileErrorOf(EINVAL, target);
        } else {
            result = qtm::WriteWholeFile(
                target,
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        }
        QMetaObject::invokeMethod(
            this,
            [this, result, path] {
                m_busy = false;
                if (result.Ok()) {
                    m_prompts.ShowMessage(kMsgSaved.arg(path));
                } else {
                    m_prompts.ShowMessage(
                        kMsgFailed.arg(QString::fromStdString(qtm::DescribeFileError(result))));
                }
            },
            Qt::QueuedConnection);
    });
}
