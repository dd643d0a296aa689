// The schema's pixels at the positions its drawing rules fix, painted without
// antialiasing on a grey map, and the loading of map pictures.
#include "network/SchemaData.h"
#include "render/MapPicture.h"
#include "render/SchemaPainter.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zurm;
using namespace zurm::render;

namespace {

char colourAt(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    if (c == qRgb(0, 0, 0))
        return 'k';
    if (c == qRgb(255, 255, 255))
        return 'w';
    if (c == qRgb(0, 0, 255))
        return 'b';
    if (c == qRgb(128, 128, 128))
        return 'g';
    return '?';
}

struct Probe {
    int x, y;
    char colour;
};

// Start node 1 at (200, 600); a segment 1 -> 2 from (200, 600) to (600, 600);
// node 3 at (700, 300) alone; node 4 unplaced (x = 0) with a segment 3 -> 4.
SchemaData sampleSchema()
{
    SchemaData schema;
    schema.nodes = {{1, 200, 600}, {2, 600, 600}, {3, 700, 300}, {4, 0, 400}};
    schema.segments = {{1, 2}, {3, 4}};
    schema.startNode = 1;
    schema.mapScale = 250;
    schema.index();
    return schema;
}

QImage paint(const SchemaData& schema, const SchemaPaintOptions& options)
{
    QImage map(1200, 800, QImage::Format_RGB32);
    map.fill(qRgb(128, 128, 128));
    return schemaPicture(map, schema, options);
}

void expectProbes(const QImage& image, const std::vector<Probe>& probes, const char* what)
{
    for (const Probe& p : probes)
        EXPECT_EQ(colourAt(image, p.x, p.y), p.colour) << what << " at " << p.x << "," << p.y;
}

TEST(SchemaPainting, ScaleBarSegmentsStartNodeAndDots)
{
    SchemaData schema = sampleSchema();
    for (int type : {0, 1}) {
        schema.networkType = type;
        const QImage image = paint(schema, {});
        expectProbes(image,
                     {// scale bar: white plate, the bar and its ticks
                      {118, 44, 'w'}, {2, 44, 'w'}, {125, 50, 'g'}, {10, 35, 'k'}, {60, 35, 'k'}, {109, 35, 'k'},
                      {10, 31, 'k'}, {10, 39, 'k'}, {109, 31, 'k'}, {109, 39, 'k'}, {60, 40, 'w'}, {60, 31, 'w'},
                      // start node: outline, white inside, the five strokes
                      {188, 600, 'k'}, {212, 600, 'k'}, {200, 588, 'k'}, {200, 612, 'k'}, {192, 600, 'w'},
                      {197, 595, 'k'}, {197, 605, 'k'}, {199, 604, 'k'}, {201, 603, 'k'}, {203, 602, 'k'},
                      {205, 600, 'k'}, {203, 596, 'w'}, {207, 600, 'w'},
                      // a solid dot: black to its centre, 16 points across
                      {600, 600, 'k'}, {594, 600, 'k'}, {606, 600, 'k'}, {600, 594, 'k'}, {700, 300, 'k'},
                      {700, 307, 'k'}, {709, 300, 'g'}, {700, 291, 'g'}},
                     "both types");
        // Solid to its centre: no point of the inner disc is left unpainted.
        for (int dy = -6; dy <= 6; ++dy)
            for (int dx = -6; dx <= 6; ++dx)
                if (dx * dx + dy * dy <= 36) {
                    EXPECT_EQ(colourAt(image, 700 + dx, 300 + dy), 'k') << "dot at " << dx << "," << dy;
                }
        if (type == 0)
            expectProbes(image, {{400, 600, 'k'}, {400, 602, 'k'}, {400, 598, 'k'}, {400, 604, 'g'}, {400, 596, 'g'}},
                         "one-pipe");
        else
            expectProbes(image,
                         {{400, 600, 'w'}, {400, 602, 'w'}, {400, 598, 'w'}, {400, 604, 'k'}, {400, 596, 'k'},
                          {400, 606, 'k'}, {400, 594, 'k'}, {400, 608, 'g'}, {400, 592, 'g'}},
                         "two-pipe");
    }
}

TEST(SchemaPainting, SelectionSquaresAndRectangle)
{
    SchemaData schema = sampleSchema();
    schema.selection.nodes = {3, 1};
    schema.selection.rect = SelectionRect{800, 100, 1000, 200};
    QImage image = paint(schema, {});
    expectProbes(image,
                 {{708, 300, 'b'}, {692, 300, 'b'}, {700, 292, 'b'}, {700, 308, 'b'}, {708, 308, 'b'},
                  {700, 300, 'k'}, {711, 300, 'g'}, {214, 600, 'b'}, {186, 600, 'b'}, {200, 586, 'b'},
                  {214, 614, 'b'}, {800, 150, 'b'}, {1000, 150, 'b'}, {900, 100, 'b'}, {900, 200, 'b'},
                  {900, 150, 'g'}, {900, 104, 'g'}},
                 "selection");
    // The first corner of a rectangle: width 10 in the drawing window, 5 in the editor.
    schema.selection.rect = SelectionRect{900, 150, 900, 150};
    expectProbes(paint(schema, {}), {{900, 150, 'b'}, {904, 150, 'b'}, {900, 146, 'b'}, {907, 150, 'g'}}, "corner");
    SchemaPaintOptions editor{SchemaWindowKind::Editor, 0, 0, 0};
    expectProbes(paint(schema, editor), {{900, 150, 'b'}, {901, 150, 'b'}, {904, 150, 'g'}}, "editor corner");
}

TEST(SchemaPainting, EditorDrawsOnlyPlacedNodesOfACheckedNetwork)
{
    SchemaData schema = sampleSchema();
    schema.nodes[2].x = 0; // node 3 typed by hand, without position; the segment 3 -> 4 touches it
    schema.nodes[3] = {4, 650, 300};
    schema.index();
    const std::vector<Probe> network = {{600, 600, 'k'}, {400, 600, 'k'}, {192, 600, 'w'}, {188, 600, 'k'}, {650, 300, 'k'}};
    for (int status : {0, 1, 2, 3}) {
        const QImage image = paint(schema, {SchemaWindowKind::Editor, 0, status, 0});
        expectProbes(image, {{60, 35, 'k'}, {0, 300, 'g'}, {300, 300, 'g'}}, "editor, never");
        if (status == 0 || status == 2)
            expectProbes(image, network, "editor, network drawn");
        else
            expectProbes(image, {{600, 600, 'g'}, {400, 600, 'g'}, {200, 600, 'g'}, {650, 300, 'g'}}, "editor, network not drawn");
    }
    // The drawing window draws every node and segment, placed or not.
    expectProbes(paint(schema, {}), {{650, 300, 'k'}, {0, 300, 'k'}, {300, 300, 'k'}}, "drawing window");
}

TEST(SchemaPainting, LabelsFollowTheLabelMode)
{
    // A chain 1 -> 2 -> 5: node 2 is in the middle, 5 is an end node, 3 and 4 start nothing.
    SchemaData schema = sampleSchema();
    schema.nodes.push_back({5, 1000, 600});
    schema.segments = {{1, 2}, {2, 5}};
    schema.index();
    auto labelled = [](const QImage& image, int x, int top) {
        for (int y = top; y < top + 24; ++y)
            for (int dx = -6; dx <= 6; ++dx)
                if (colourAt(image, x + dx, y) == 'k')
                    return true;
        return false;
    };
    const struct {
        int mode;
        bool start, middle, end;
    } cases[] = {{0, true, true, true}, {1, true, false, true}, {2, false, false, false}};
    for (const auto& c : cases) {
        SchemaPaintOptions options;
        options.labelMode = c.mode;
        const QImage image = paint(schema, options);
        EXPECT_EQ(labelled(image, 200, 600 - 46), c.start) << c.mode;
        EXPECT_EQ(labelled(image, 600, 600 - 38), c.middle) << c.mode;
        EXPECT_EQ(labelled(image, 1000, 600 - 38), c.end) << c.mode;
    }
    // A selected node is labelled whatever the mode.
    schema.selection.nodes = {2};
    SchemaPaintOptions none;
    none.labelMode = 2;
    EXPECT_TRUE(labelled(paint(schema, none), 600, 600 - 38));
}

TEST(SchemaPainting, PartsOfThePictureAreThePicturesPixels)
{
    SchemaData schema = sampleSchema();
    schema.networkType = 1;
    schema.selection.nodes = {1};
    QImage map(1200, 800, QImage::Format_RGB32);
    map.fill(qRgb(128, 128, 128));
    const QImage whole = schemaPicture(map, schema, {});
    for (const QRect& region : {QRect(150, 560, 100, 60), QRect(0, 0, 64, 40), QRect(390, 590, 300, 20)})
        EXPECT_EQ(schemaRegion(map, schema, {}, region), whole.copy(region)) << region.x() << "," << region.y();
}

// A small JPEG whose frame header claims the given size: decoding it as it
// says would take width × height × 4 bytes.
QByteArray jpegClaiming(int width, int height)
{
    QImage small(16, 16, QImage::Format_RGB32);
    small.fill(Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "jpeg");
    for (qsizetype at = 2; at + 9 < bytes.size();) {
        const auto marker = quint8(bytes[at + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            bytes[at + 5] = char(height >> 8);
            bytes[at + 6] = char(height & 0xFF);
            bytes[at + 7] = char(width >> 8);
            bytes[at + 8] = char(width & 0xFF);
            break;
        }
        at += 2 + (quint8(bytes[at + 2]) << 8 | quint8(bytes[at + 3]));
    }
    return bytes;
}

TEST(MapPictures, LoadsUpToTheLimitsAndSaysWhyAMapIsNotShown)
{
    QTemporaryDir dir;
    QImage(kMaxMapSide, 2, QImage::Format_Mono).save(dir.filePath(QStringLiteral("wide.bmp")));
    QImage(kMaxMapSide + 1, 2, QImage::Format_Mono).save(dir.filePath(QStringLiteral("wider.BMP")));
    QImage small(30, 20, QImage::Format_RGB32);
    small.fill(Qt::red);
    small.save(dir.filePath(QStringLiteral("small.jpg")), "jpeg");
    QFile::copy(dir.filePath(QStringLiteral("small.jpg")), dir.filePath(QStringLiteral("small.jpeg")));
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("huge.jpg", jpegClaiming(30000, 30000));
    write("cut.jpg", jpegClaiming(16, 16).left(60));
    write("text.bmp", "not a picture");
    {
        QImage noisy(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                noisy.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 255));
        QByteArray whole;
        QBuffer buffer(&whole);
        buffer.open(QIODevice::WriteOnly);
        noisy.save(&buffer, "jpeg", 95);
        write("short.jpg", whole.left(whole.size() / 2));
    }
    const QString big = QStringLiteral(ZURM_SOURCE_DIR "/tests/data/maps/white-8400x8200.jpg");
    const QString notShown = QStringLiteral(" Схема теплосети будет нарисована без карты.");
    const struct {
        QString file;
        QSize size;
        QString problem;
    } cases[] = {
        {QStringLiteral("wide.bmp"), {kMaxMapSide, 2}, {}},
        {QStringLiteral("wider.BMP"), {2000, 2000},
         QStringLiteral("Карта \"wider.BMP\" не загружена: ее размер 32768 × 2 точек больше допустимого (не более "
                        "32767 точек по каждой стороне и не более 100 млн точек всего).") + notShown},
        // Refused from its header, before 3.6 GB are decoded.
        {QStringLiteral("huge.jpg"), {2000, 2000},
         QStringLiteral("Карта \"huge.jpg\" не загружена: ее размер 30000 × 30000 точек больше допустимого (не более "
                        "32767 точек по каждой стороне и не более 100 млн точек всего).") + notShown},
        {QStringLiteral("small.jpg"), {30, 20}, {}},
        // Its last four characters are not ".JPG".
        {QStringLiteral("small.jpeg"), {2000, 2000},
         QStringLiteral("Карта \"small.jpeg\" не загружена: картой может быть только рисунок JPEG (.jpg) или BMP (.bmp).")
             + notShown},
        {QStringLiteral("missing.bmp"), {2000, 2000},
         QStringLiteral("Карта \"missing.bmp\" не загружена: файл не найден.") + notShown},
        {QStringLiteral("cut.jpg"), {2000, 2000},
         QStringLiteral("Карта \"cut.jpg\" не загружена: файл поврежден или не является рисунком JPEG.") + notShown},
        {QStringLiteral("text.bmp"), {2000, 2000},
         QStringLiteral("Карта \"text.bmp\" не загружена: файл поврежден или не является рисунком BMP.") + notShown},
        // Its data ends early: what was read is shown, and said to be incomplete.
        {QStringLiteral("short.jpg"), {64, 64},
         QStringLiteral("Карта \"short.jpg\" повреждена: рисунок прочитан не полностью, недостающая часть показана "
                        "серым. Сохраните карту заново в программе для рисунков.")},
        {QString(), {2000, 2000}, {}},
        // Over Qt's default allocation limit of 256 MB once decoded.
        {big, {8400, 8200}, {}},
    };
    for (const auto& c : cases) {
        const MapPicture map = loadMapPicture(c.file, dir.path());
        EXPECT_EQ(map.image.size(), c.size) << c.file.toStdString();
        EXPECT_EQ(map.image.format(), QImage::Format_RGB32) << c.file.toStdString();
        EXPECT_EQ(map.problem, c.problem) << c.file.toStdString();
    }
    EXPECT_EQ(schemaCaption(QStringLiteral("a.jpeg"), SchemaWindowKind::Editor),
              QStringLiteral("a.jpeg - Параметры теплосети"));
    EXPECT_EQ(schemaCaption(QString(), SchemaWindowKind::Drawing), QStringLiteral("Рисование схемы теплосети"));
}

QByteArray digest(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

TEST(ZurmCalcSchema, WritesThePictureAndLeavesTheFileAsItWas)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sample.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), file));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = digest(file);
    const QString png = dir.filePath(QStringLiteral("schema.png"));
    const struct {
        QStringList options;
        int exitCode;
        QSize size;
        Probe probe; // on the written picture
    } cases[] = {
        // Node 3 (540, 160) selected: its blue square; node 6 with it gives the rectangle.
        {{QStringLiteral("--select"), QStringLiteral("3")}, 0, {2000, 2000}, {548, 160, 'b'}},
        {{QStringLiteral("--select"), QStringLiteral("3,6"), QStringLiteral("--labels"), QStringLiteral("2")}, 0,
         {2000, 2000}, {540, 300, 'b'}},
        {{QStringLiteral("--zoom"), QStringLiteral("30%")}, 0, {600, 600}, {18, 10, 'k'}},
        {{QStringLiteral("--zoom"), QStringLiteral("5")}, 2, {}, {}},
        {{QStringLiteral("--labels"), QStringLiteral("3")}, 2, {}, {}},
        {{QStringLiteral("--select"), QStringLiteral("1,x")}, 2, {}, {}},
        {{QStringLiteral("--text"), dir.filePath(QStringLiteral("t.txt"))}, 2, {}, {}},
    };
    for (const auto& c : cases) {
        QFile::remove(png);
        QProcess zurmCalc;
        zurmCalc.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"),
                       QStringList{file, QStringLiteral("--schema"), png} + c.options);
        ASSERT_TRUE(zurmCalc.waitForFinished(60000));
        const QString what = c.options.join(QLatin1Char(' '));
        EXPECT_EQ(zurmCalc.exitCode(), c.exitCode) << what.toStdString();
        if (c.exitCode != 0) {
            EXPECT_FALSE(QFile::exists(png)) << what.toStdString();
            continue;
        }
        const QImage picture(png);
        EXPECT_EQ(picture.size(), c.size) << what.toStdString();
        EXPECT_EQ(colourAt(picture.convertToFormat(QImage::Format_RGB32), c.probe.x, c.probe.y), c.probe.colour)
            << what.toStdString();
    }
    EXPECT_EQ(digest(file), before);
}

} // namespace

int main(int argc, char** argv)
{
    // Test discovery runs the program without the test's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
