// orvel-guide-pdf SOURCE.md OUTPUT.pdf
//
// Turns the user guide, written in Markdown with its screenshots beside it,
// into a PDF: A4, the toolkit's own layout with page numbers, every top-level
// chapter on a new page, and screenshots scaled down to the text width. It
// needs no display. An image that cannot be read fails the run, so a guide
// never ships with holes where its pictures should be; the PDF replaces the
// output file only when it is complete.
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextStream>
#include <QUrl>

namespace {

// The text width of an A4 page with the layout's 2 cm margins, in the units
// the layout sizes images in (pixels at 96 dpi).
constexpr qreal textWidth = 640;

constexpr qint64 largestSource = 4 * 1024 * 1024;

QTextStream& errors()
{
    static QTextStream stream(stderr);
    return stream;
}

bool readSource(const QString& path, QString* text)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > largestSource || !file.open(QIODevice::ReadOnly)) {
        errors() << "orvel-guide-pdf: cannot read " << path << " (a Markdown file of at most 4 MiB)\n";
        return false;
    }
    *text = QString::fromUtf8(file.readAll());
    return true;
}

// Names every image by its absolute URL (printing works on a copy of the
// document that knows no base folder) and scales those wider than the text
// down to the text width; false when an image cannot be loaded.
bool fitImages(QTextDocument& document)
{
    bool allFound = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (!format.isValid())
                continue;
            const QUrl url = document.baseUrl().resolved(QUrl(format.name()));
            const QImage image(url.toLocalFile());
            if (image.isNull()) {
                errors() << "orvel-guide-pdf: cannot load the image " << url.toLocalFile() << '\n';
                allFound = false;
                continue;
            }
            format.setName(url.toString());
            if (image.width() > textWidth) {
                format.setWidth(textWidth);
                format.setHeight(textWidth * image.height() / image.width());
            }
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
    return allFound;
}

// Each top-level chapter after the first (the title) begins a page.
void breakPagesBeforeChapters(QTextDocument& document)
{
    bool first = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() != 1)
            continue;
        if (!first) {
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
        }
        first = false;
    }
}

QString firstHeading(const QTextDocument& document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 1)
            return block.text();
    return QString();
}

bool writePdf(QTextDocument& document, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        errors() << "orvel-guide-pdf: cannot write " << path << ": " << file.errorString() << '\n';
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(firstHeading(document));
        writer.setCreator(QStringLiteral("orvel-guide-pdf"));
        document.print(&writer);
    }
    if (!file.commit()) {
        errors() << "orvel-guide-pdf: cannot write " << path << ": " << file.errorString() << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        errors() << "usage: orvel-guide-pdf SOURCE.md OUTPUT.pdf\n";
        return 2;
    }
    QString markdown;
    if (!readSource(arguments.at(1), &markdown))
        return 1;

    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(arguments.at(1)).absolutePath() + QLatin1Char('/')));
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    if (!fitImages(document))
        return 1;
    breakPagesBeforeChapters(document);
    return writePdf(document, arguments.at(2)) ? 0 : 1;
}
