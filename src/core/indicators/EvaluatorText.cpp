#include "indicators/EvaluatorText.h"

#include "platform/Cp1251.h"

#include <algorithm>
#include <array>

namespace zurm::evaluator {

namespace {

struct OperationEntry {
    const char* name; // UTF-8
    int arity;
};

// The operation table, in the order in which operations are tried.
constexpr OperationEntry kOperations[kOperationCount] = {
    {"-", 2},
    {"+", 2},
    {"*", 2},
    {"/", 2},
    {"Степень", 2},
    {"Log", 2},
    {"Lg", 1},
    {"Ln", 1},
    {"Exp", 1},
    {"Округл", 2},
    {"ПопрККУППоДуЭквШер", 2},
    {"ДуПоДвнутр", 1},
    {"ДвнутрПоДу", 1},
    {"ПлВодыПоТ", 1},
    {"ДвнутрБилиРПоДр", 1},
    {"ДвнутрБПоДр", 1},
    {"ДвнутрМилиРПоДр", 1},
    {"ДвнутрМПоДр", 1},
    {"ДвнутрПоДр", 1},
};

struct CaseTables {
    std::array<unsigned char, 256> upper {};
    std::array<QByteArray, kOperationCount + 1> upperNames; // Windows-1251, folded

    CaseTables()
    {
        // Fold through Unicode so that the code page's own letters (Cyrillic
        // included) follow the locale rules; bytes whose upper case does not
        // exist in the code page stay as they are.
        for (int c = 0; c < 256; ++c) {
            upper[c] = static_cast<unsigned char>(c);
            if (c < 0x80) {
                if (c >= 'a' && c <= 'z')
                    upper[c] = static_cast<unsigned char>(c - 'a' + 'A');
                continue;
            }
            const QString text = fromCp1251(QByteArray(1, char(c)));
            const QString folded = text.toUpper();
            if (folded.size() != 1 || folded == text || !fitsCp1251(folded))
                continue;
            const QByteArray back = toCp1251(folded);
            if (back.size() == 1)
                upper[c] = static_cast<unsigned char>(back.at(0));
        }
        for (int k = 1; k <= kOperationCount; ++k) {
            QByteArray name = toCp1251(QString::fromUtf8(kOperations[k - 1].name));
            for (char& ch : name)
                ch = char(upper[static_cast<unsigned char>(ch)]);
            upperNames[k] = name;
        }
    }
};

const CaseTables& caseTables()
{
    static const CaseTables tables;
    return tables;
}

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The expression seen with 1-based positions, as findNextReduction reports them; a position
// outside the text reads as 0, which no rule accepts.
struct Text {
    const unsigned char* data;
    int length;

    explicit Text(const QByteArray& bytes)
        : data(reinterpret_cast<const unsigned char*>(bytes.constData())), length(int(bytes.size()))
    {
    }
    unsigned char at(int pos) const { return pos >= 1 && pos <= length ? data[pos - 1] : 0; }
};

// A token is "{", one or more digits, "}" naming a slot 1..255 (leading zeros
// allowed). Prepared expressions hold nothing else between braces; anything
// else between braces is not a token and so never takes part in a reduction.
int slotNumber(const Text& t, int firstDigit, int lastDigit)
{
    int value = 0;
    for (int p = firstDigit; p <= lastDigit; ++p)
        value = std::min(value * 10 + (t.at(p) - '0'), 1000);
    return value >= 1 && value <= kMaxSlots ? value : 0;
}

bool tokenStartingAt(const Text& t, int open, int& close, int& slot)
{
    if (t.at(open) != '{')
        return false;
    int p = open + 1;
    while (p <= t.length && isDigit(t.at(p)))
        ++p;
    if (p == open + 1 || t.at(p) != '}')
        return false;
    slot = slotNumber(t, open + 1, p - 1);
    close = p;
    return slot != 0;
}

bool tokenEndingAt(const Text& t, int close, int& open, int& slot)
{
    if (t.at(close) != '}')
        return false;
    int p = close - 1;
    while (p >= 1 && isDigit(t.at(p)))
        --p;
    if (p == close - 1 || t.at(p) != '{')
        return false;
    slot = slotNumber(t, p + 1, close - 1);
    open = p;
    return slot != 0;
}

bool notMultiplicative(const Text& t, int pos)
{
    return pos > t.length || (t.at(pos) != '*' && t.at(pos) != '/');
}

// "{a}" op "{b}" around position r; the left context must be one of the
// allowed characters (or the start of the text).
bool binaryRule(const Text& t, int r, bool multiplicative, Reduction& out)
{
    if (r <= 1 || r >= t.length || t.at(r - 1) != '}' || t.at(r + 1) != '{')
        return false;
    int leftOpen = 0, rightClose = 0, slot = 0;
    if (!tokenEndingAt(t, r - 1, leftOpen, slot) || !tokenStartingAt(t, r + 1, rightClose, slot))
        return false;
    const unsigned char before = t.at(leftOpen - 1);
    const bool leftFree = leftOpen == 1 || before == '(' || before == ';'
        || (multiplicative && (before == '+' || before == '-'));
    if (!leftFree)
        return false;
    if (!multiplicative && !notMultiplicative(t, rightClose + 1))
        return false;
    out.spanStart = leftOpen;
    out.spanEnd = rightClose;
    return true;
}

bool unaryMinusRule(const Text& t, int r, Reduction& out)
{
    if (r >= t.length || t.at(r + 1) != '{')
        return false;
    if (r != 1 && t.at(r - 1) != '(' && t.at(r - 1) != ';')
        return false;
    int close = 0, slot = 0;
    if (!tokenStartingAt(t, r + 1, close, slot) || !notMultiplicative(t, close + 1))
        return false;
    out.spanStart = r;
    out.spanEnd = close;
    return true;
}

bool functionRule(const Text& t, int r, int nameLength, int arity, Reduction& out)
{
    int p = r + nameLength;
    if (p >= t.length || t.at(p) != '(')
        return false;
    ++p;
    for (int i = 0; i < arity; ++i) {
        int close = 0, slot = 0;
        if (!tokenStartingAt(t, p, close, slot))
            return false;
        const unsigned char separator = i + 1 < arity ? ';' : ')';
        if (t.at(close + 1) != separator)
            return false;
        p = close + 2;
    }
    out.spanStart = r;
    out.spanEnd = p - 1;
    return true;
}

bool ruleHolds(const Text& t, int operation, int r, int nameLength, Reduction& out)
{
    switch (operation) {
    case OpMinus:
        return binaryRule(t, r, false, out) || unaryMinusRule(t, r, out);
    case OpPlus:
        return binaryRule(t, r, false, out);
    case OpMultiply:
    case OpDivide:
        return binaryRule(t, r, true, out);
    default:
        return functionRule(t, r, nameLength, operationArity(operation), out);
    }
}

bool nameAt(const Text& t, int r, const QByteArray& upperName, const std::array<unsigned char, 256>& upper)
{
    const int n = int(upperName.size());
    if (r + n - 1 > t.length)
        return false;
    for (int i = 0; i < n; ++i)
        if (upper[t.at(r + i)] != static_cast<unsigned char>(upperName.at(i)))
            return false;
    return true;
}

} // namespace

int operationArity(int operation) { return kOperations[operation - 1].arity; }

QString operationName(int operation) { return QString::fromUtf8(kOperations[operation - 1].name); }

bool isNameLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c > 191; }

Reduction findNextReduction(const QByteArray& expression)
{
    const CaseTables& tables = caseTables();
    const Text t(expression);
    int r = 1;
    while (r <= t.length) {
        int step = 1;
        for (int k = 1; k <= kOperationCount; ++k) {
            const QByteArray& name = tables.upperNames[k];
            if (!nameAt(t, r, name, tables.upper))
                continue;
            step = std::max(step, int(name.size()));
            Reduction found;
            if (ruleHolds(t, k, r, int(name.size()), found)) {
                found.found = true;
                found.operation = k;
                return found;
            }
        }
        // A function name whose call cannot be reduced yet is skipped whole.
        r += step;
    }
    return {};
}

int spanOperands(const QByteArray& expression, int spanStart, int spanEnd, int operandSlots[2])
{
    const Text t(expression);
    int count = 0;
    for (int p = spanStart; p <= spanEnd && count < 2; ++p) {
        int close = 0, slot = 0;
        if (t.at(p) == '{' && tokenStartingAt(t, p, close, slot)) {
            operandSlots[count++] = slot;
            p = close;
        }
    }
    return count;
}

void replaceReduction(QByteArray& expression, int spanStart, int spanEnd, int slot)
{
    const Text t(expression);
    // Nested redundant parentheses go at once; "(" that belongs to a function
    // call (a letter before it) stays.
    while (spanStart > 1 && spanEnd < t.length && t.at(spanStart - 1) == '(' && t.at(spanEnd + 1) == ')'
           && (spanStart - 2 < 1 || !isNameLetter(t.at(spanStart - 2)))) {
        --spanStart;
        ++spanEnd;
    }
    expression.replace(spanStart - 1, spanEnd - spanStart + 1, '{' + QByteArray::number(slot) + '}');
}

int singleTokenSlot(const QByteArray& expression)
{
    const Text t(expression);
    if (t.length < 3 || t.length > 5 || t.at(1) != '{' || t.at(t.length) != '}')
        return 0;
    for (int p = 2; p < t.length; ++p)
        if (!isDigit(t.at(p)))
            return 0;
    return slotNumber(t, 2, t.length - 1);
}

} // namespace zurm::evaluator
