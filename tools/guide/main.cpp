// orvel-guide-pdf SOURCE.md OUTPUT.pdf
//
// Turns the user guide, written in Markdown with its screenshots beside it,
// into a PDF: A4, the toolkit's own layout with page numbers, every top-level
// chapter on a new page, code in a monospace font, and screenshots scaled to
// fit the text width. It needs no display. An image that cannot be read fails
// the run, so a guide never ships with holes where its pictures should be; the
// PDF replaces the output file only when it is complete.
#include <QFileInfo>
#include <QFontDatabase>
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
#include <QTextTable>
#include <QUrl>
#include <QVector>

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

struct Restyle
{
    int position;
    int length;
    QTextCharFormat format;
};

void apply(QTextDocument& document, const QVector<Restyle>& changes)
{
    for (const Restyle& change : changes) {
        QTextCursor cursor(&document);
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.format);
    }
}

template <typename Visit>
void forEachFragment(const QTextDocument& document, Visit visit)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            visit(it.fragment());
}

// Names every image by its absolute URL (printing works on a copy of the
// document that knows no base folder) and draws it at three quarters of its
// pixel size, at most as wide as the text; false when an image cannot be
// loaded.
bool fitImages(QTextDocument& document)
{
    bool allFound = true;
    QVector<Restyle> changes;
    forEachFragment(document, [&](const QTextFragment& fragment) {
        QTextImageFormat format = fragment.charFormat().toImageFormat();
        if (!format.isValid())
            return;
        const QUrl url = document.baseUrl().resolved(QUrl(format.name()));
        const QImage image(url.toLocalFile());
        if (image.isNull()) {
            errors() << "orvel-guide-pdf: cannot load the image " << url.toLocalFile() << '\n';
            allFound = false;
            return;
        }
        const qreal width = qMin(textWidth, 0.75 * image.width());
        format.setName(url.toString());
        format.setWidth(width);
        format.setHeight(width * image.height() / image.width());
        changes.append({fragment.position(), fragment.length(), format});
    });
    apply(document, changes);
    return allFound;
}

// The Markdown import marks code with the platform's fixed-pitch font, which
// the offscreen platform (no desktop theme) answers with a proportional one;
// code gets a monospace font of its own.
void setCodeInMonospace(QTextDocument& document)
{
    const QString platformFixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    QVector<Restyle> changes;
    forEachFragment(document, [&](const QTextFragment& fragment) {
        QTextCharFormat format = fragment.charFormat();
        if (!format.hasProperty(QTextFormat::FontFamily) || format.fontFamily() != platformFixed)
            return;
        format.setFontFamily(QStringLiteral("DejaVu Sans Mono"));
        format.setFontFixedPitch(true);
        changes.append({fragment.position(), fragment.length(), format});
    });
    apply(document, changes);
}

// Tables with single lines between cells and some room around the text.
void styleTables(QTextDocument& document)
{
    for (QTextFrame* frame : document.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorderCollapse(true);
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(Qt::darkGray);
        format.setCellPadding(3);
        format.setCellSpacing(0);
        table->setFormat(format);
    }
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
    setCodeInMonospace(document);
    styleTables(document);
    breakPagesBeforeChapters(document);
    return writePdf(document, arguments.at(2)) ? 0 : 1;
}
