#pragma once

#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

class QSqlDatabase;

namespace zurm {

// A row of ДиамТрПр; an empty field is nullopt.
struct DiameterRow {
    std::optional<double> nominal;  // УслДиамТрПр
    std::optional<double> internal; // ВнутрДиамТрПр
};

// A row of ПлВодыОтТ.
struct DensityRow {
    std::optional<double> temperature; // Т
    std::optional<double> density;     // Плотность
};

// A row of ПопрКоэфКУдПот.
struct CorrectionRow {
    std::optional<double> nominal;     // УслДиамТрПр
    std::optional<double> roughness;   // ЭквШер
    std::optional<double> coefficient; // Коэф
};

enum class LookupStatus { Found, InvalidArgument, NotFound };

struct Lookup {
    LookupStatus status = LookupStatus::NotFound;
    double value = 0;
};

// The three reference tables of a run, read once into memory in table order.
// The look-ups give the result of walking the table from its first row in its
// current order; the only order that ever changes is that of ДиамТрПр, which
// ДвнутрПоДр leaves sorted ascending by ВнутрДиамТрПр and the directional
// design look-ups leave unsorted again. That state lives here, so one object
// must serve one run in evaluation order.
class ReferenceTables {
public:
    ReferenceTables() = default;
    ReferenceTables(std::vector<DiameterRow> diameters, std::vector<DensityRow> densities,
                    std::vector<CorrectionRow> corrections);

    // Reads ДиамТрПр, ПлВодыОтТ and ПопрКоэфКУдПот in rowid order (the
    // tables' unsorted order). Throws Failure on a database error.
    static ReferenceTables load(const QSqlDatabase& reference);

    // Exact look-ups: the argument must be an integer with 0 < x < 32767
    // (compared as a 16-bit integer), otherwise InvalidArgument. A field that
    // is empty in the matching row reads as 0.
    Lookup correctionCoefficient(double nominal, double roughness) const; // ПопрККУППоДуЭквШер
    Lookup nominalByInternal(double internal) const;                      // ДуПоДвнутр
    Lookup internalByNominal(double nominal) const;                       // ДвнутрПоДу
    Lookup densityByTemperature(double temperature) const;                // ПлВодыПоТ

    // Design-diameter look-ups over ВнутрДиамТрПр; the argument must be > 0.
    enum class Direction {
        AtLeast, // ДвнутрБилиРПоДр: smallest ≥ x
        Above,   // ДвнутрБПоДр: smallest > x
        AtMost,  // ДвнутрМилиРПоДр: largest ≤ x
        Below,   // ДвнутрМПоДр: largest < x
    };
    Lookup internalByDesign(double design, Direction direction);
    Lookup nearestInternalByDesign(double design); // ДвнутрПоДр

    // True while ДиамТрПр is left sorted ascending by ВнутрДиамТрПр.
    bool diametersAscending() const { return diametersAscending_; }

    static bool validExactKey(double x);

private:
    using KeyMap = std::unordered_map<int, double>;
    static void addFirst(KeyMap& map, const std::optional<double>& key, const std::optional<double>& value);

    // ДиамТрПр: first row per key in unsorted and in ascending order.
    KeyMap internalByNominal_[2];
    KeyMap nominalByInternal_[2];
    // Distinct non-empty ВнутрДиамТрПр values, ascending.
    std::vector<double> internalSorted_;
    KeyMap densityByTemperature_;
    std::map<std::pair<int, double>, double> correctionByKey_;
    bool diametersAscending_ = false;
};

} // namespace zurm
