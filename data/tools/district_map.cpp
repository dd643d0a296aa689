// Draws the map picture of the example district: a fictional quarter of
// streets and blocks of houses with a park and a river, in the coordinates of
// the district example (1 point = 1 m; the heating main runs along the street
// at y = 600). Usage: zurm-district-map OUTPUT.jpg
// Nothing here is taken from a real town: the layout comes from a fixed
// pseudo-random sequence, so every build draws the same picture.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

class Sequence {
public:
    int next(int below)
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((state_ >> 33) % uint64_t(below));
    }

private:
    uint64_t state_ = 20261209;
};

const int kWidth = 2000;
const int kHeight = 1200;
const std::vector<int> kStreetsY = {140, 330, 470, 600, 760, 890};
const std::vector<int> kStreetsX = {30, 280, 460, 710, 910, 1070, 1350, 1540, 1690, 1810, 1960};

double riverY(double x) { return 1040 + 35 * std::sin(x / 260.0) + 18 * std::sin(x / 97.0); }

void street(QPainter& painter, QPointF a, QPointF b, int width)
{
    painter.setPen(QPen(QColor(170, 165, 155), width + 4, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(a, b);
    painter.setPen(QPen(QColor(252, 252, 250), width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(a, b);
}

void label(QPainter& painter, QPointF at, double angle, const QString& text, int size, const QColor& color)
{
    QFont font;
    font.setPixelSize(size);
    font.setItalic(true);
    painter.save();
    painter.translate(at);
    painter.rotate(angle);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(0, 0, text);
    painter.restore();
}

void houses(QPainter& painter, Sequence& random, QRect block)
{
    const QRect inner = block.adjusted(14, 14, -14, -14);
    for (int y = inner.top(); y + 20 < inner.bottom();) {
        const int depth = 22 + random.next(24);
        for (int x = inner.left(); x + 20 < inner.right();) {
            const int length = 30 + random.next(70);
            QRect house(x, y, std::min(length, inner.right() - x), std::min(depth, inner.bottom() - y));
            if (random.next(6) != 0 && house.width() > 14 && house.height() > 14) {
                painter.setPen(QPen(QColor(150, 130, 115), 1));
                painter.setBrush(QColor(222, 205, 188));
                painter.drawRect(house);
            }
            x += length + 10 + random.next(14);
        }
        y += depth + 14 + random.next(16);
    }
}

void park(QPainter& painter, Sequence& random, QRect block)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 226, 180));
    painter.drawRect(block.adjusted(10, 10, -10, -10));
    painter.setBrush(QColor(150, 195, 130));
    for (int i = 0; i < block.width() * block.height() / 1500; ++i) {
        const int r = 5 + random.next(6);
        painter.drawEllipse(QPoint(block.left() + 20 + random.next(std::max(1, block.width() - 40)),
                                   block.top() + 20 + random.next(std::max(1, block.height() - 40))),
                            r, r);
    }
    painter.setPen(QPen(QColor(235, 225, 200), 4));
    painter.drawLine(block.topLeft() + QPoint(14, 14), block.bottomRight() - QPoint(14, 14));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zurm-district-map OUTPUT.jpg\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    Sequence random;
    QImage map(kWidth, kHeight, QImage::Format_RGB32);
    map.fill(QColor(243, 239, 228));
    QPainter painter(&map);
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Blocks between the streets, north of the river: houses, two parks.
    for (size_t i = 0; i + 1 < kStreetsX.size(); ++i)
        for (size_t j = 0; j + 1 < kStreetsY.size(); ++j) {
            const QRect block(QPoint(kStreetsX[i], kStreetsY[j]), QPoint(kStreetsX[i + 1], kStreetsY[j + 1]));
            if ((i == 3 && j == 0) || (i == 7 && j == 3))
                park(painter, random, block);
            else
                houses(painter, random, block);
        }
    // North of the first street: scattered houses.
    for (size_t i = 0; i + 1 < kStreetsX.size(); ++i)
        houses(painter, random, QRect(QPoint(kStreetsX[i], 0), QPoint(kStreetsX[i + 1], kStreetsY.front())));
    // The embankment quarter: gardens down to the river.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(214, 230, 196));
    QPainterPath bank;
    bank.moveTo(0, kStreetsY.back() + 12);
    bank.lineTo(kWidth, kStreetsY.back() + 12);
    for (int x = kWidth; x >= 0; x -= 10)
        bank.lineTo(x, riverY(x) - 30);
    painter.drawPath(bank);

    // The river with its bridge.
    QPainterPath river;
    river.moveTo(0, riverY(0) - 30);
    for (int x = 0; x <= kWidth; x += 10)
        river.lineTo(x, riverY(x) - 30);
    for (int x = kWidth; x >= 0; x -= 10)
        river.lineTo(x, riverY(x) + 34);
    painter.setPen(QPen(QColor(120, 160, 190), 2));
    painter.setBrush(QColor(168, 204, 230));
    painter.drawPath(river);
    // South bank: fields.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(226, 234, 200));
    QPainterPath fields;
    fields.moveTo(0, kHeight);
    for (int x = 0; x <= kWidth; x += 10)
        fields.lineTo(x, riverY(x) + 36);
    fields.lineTo(kWidth, kHeight);
    painter.drawPath(fields);

    // Streets: the main street wider, a diagonal lane, the road over the bridge.
    for (int y : kStreetsY)
        street(painter, QPointF(0, y), QPointF(kWidth, y), y == 600 ? 30 : 18);
    for (int x : kStreetsX)
        street(painter, QPointF(x, 0), QPointF(x, kStreetsY.back()), 16);
    street(painter, QPointF(1070, 890), QPointF(1350, 760), 12);
    street(painter, QPointF(1350, 890), QPointF(1350, kHeight), 22);
    painter.setPen(QPen(QColor(110, 105, 100), 3));
    painter.drawLine(QPointF(1337, riverY(1350) - 40), QPointF(1337, riverY(1350) + 44));
    painter.drawLine(QPointF(1363, riverY(1350) - 40), QPointF(1363, riverY(1350) + 44));

    // The boiler house at the west end of the main street, in its own yard.
    painter.setPen(QPen(QColor(160, 150, 140), 1));
    painter.setBrush(QColor(232, 228, 220));
    painter.drawRect(QRect(44, 628, 140, 110));
    painter.setPen(QPen(QColor(120, 80, 70), 2));
    painter.setBrush(QColor(200, 150, 130));
    painter.drawRect(QRect(56, 640, 90, 60));
    painter.setPen(QPen(QColor(120, 80, 70), 8, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(130, 640, 130, 580);

    const QColor text(70, 70, 80);
    label(painter, QPointF(60, 728), 0, QStringLiteral("Котельная"), 22, text);
    label(painter, QPointF(240, 592), 0, QStringLiteral("ул. Заводская"), 24, text);
    label(painter, QPointF(1300, 592), 0, QStringLiteral("ул. Заводская"), 24, text);
    label(painter, QPointF(500, 324), 0, QStringLiteral("ул. Садовая"), 20, text);
    label(painter, QPointF(1120, 464), 0, QStringLiteral("ул. Школьная"), 20, text);
    label(painter, QPointF(740, 754), 0, QStringLiteral("пр. Строителей"), 20, text);
    label(painter, QPointF(300, 884), 0, QStringLiteral("наб. Речная"), 20, text);
    label(painter, QPointF(1480, 134), 0, QStringLiteral("ул. Лесная"), 20, text);
    label(painter, QPointF(704, 200), 90, QStringLiteral("ул. Мира"), 20, text);
    label(painter, QPointF(1534, 640), 90, QStringLiteral("пер. Тихий"), 20, text);
    label(painter, QPointF(1130, 852), -25, QStringLiteral("пер. Косой"), 18, text);
    label(painter, QPointF(1580, 690), 0, QStringLiteral("Парк"), 24, QColor(60, 100, 50));
    label(painter, QPointF(770, 240), 0, QStringLiteral("Сквер"), 22, QColor(60, 100, 50));
    label(painter, QPointF(500, riverY(500) + 12), 0, QStringLiteral("р. Светлая"), 28, QColor(40, 80, 130));
    painter.end();

    if (!map.save(QString::fromLocal8Bit(argv[1]), nullptr, 85)) {
        std::fprintf(stderr, "zurm-district-map: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
