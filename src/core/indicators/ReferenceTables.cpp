#include "indicators/ReferenceTables.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zurm {

namespace {
constexpr int kUnsorted = 0;
constexpr int kAscending = 1;

// A stored key as the 16-bit integer it is compared as; keys that are not
// such an integer can never equal a valid argument.
std::optional<int> smallintKey(const std::optional<double>& value)
{
    if (!value || !(*value >= -32768 && *value <= 32767) || *value != std::trunc(*value))
        return std::nullopt;
    return int(*value);
}

double normalisedZero(double value) { return value == 0 ? 0.0 : value; }
} // namespace

ReferenceTables::ReferenceTables(std::vector<DiameterRow> diameters, std::vector<DensityRow> densities,
                                 std::vector<CorrectionRow> corrections)
{
    for (const DiameterRow& row : diameters) {
        addFirst(internalByNominal_[kUnsorted], row.nominal, row.internal);
        addFirst(nominalByInternal_[kUnsorted], row.internal, row.nominal);
        if (row.internal)
            internalSorted_.push_back(*row.internal);
    }
    // "ВнутрДиамТрПр ASC" keeps equal keys in table order and puts empty fields
    // first, as the database sorts them.
    std::vector<size_t> ascending(diameters.size());
    std::iota(ascending.begin(), ascending.end(), size_t(0));
    std::stable_sort(ascending.begin(), ascending.end(), [&](size_t a, size_t b) {
        const auto& x = diameters[a].internal;
        const auto& y = diameters[b].internal;
        if (!x || !y)
            return !x && y;
        return *x < *y;
    });
    for (size_t i : ascending) {
        addFirst(internalByNominal_[kAscending], diameters[i].nominal, diameters[i].internal);
        addFirst(nominalByInternal_[kAscending], diameters[i].internal, diameters[i].nominal);
    }
    // Rows without ВнутрДиамТрПр take no part in the design-diameter look-ups:
    // an empty diameter is neither larger nor smaller than a design diameter.
    std::sort(internalSorted_.begin(), internalSorted_.end());
    internalSorted_.erase(std::unique(internalSorted_.begin(), internalSorted_.end()), internalSorted_.end());

    for (const DensityRow& row : densities)
        addFirst(densityByTemperature_, row.temperature, row.density);

    for (const CorrectionRow& row : corrections) {
        const std::optional<int> key = smallintKey(row.nominal);
        if (key && row.roughness && !std::isnan(*row.roughness))
            correctionByKey_.emplace(std::make_pair(*key, normalisedZero(*row.roughness)),
                                     row.coefficient.value_or(0.0));
    }
}

void ReferenceTables::addFirst(KeyMap& map, const std::optional<double>& key, const std::optional<double>& value)
{
    if (const std::optional<int> k = smallintKey(key))
        map.emplace(*k, value.value_or(0.0));
}

bool ReferenceTables::validExactKey(double x) { return x > 0 && x < 32767 && x == std::trunc(x); }

Lookup ReferenceTables::correctionCoefficient(double nominal, double roughness) const
{
    if (!validExactKey(nominal))
        return {LookupStatus::InvalidArgument, 0};
    if (std::isnan(roughness))
        return {LookupStatus::NotFound, 0};
    const auto found = correctionByKey_.find({int(nominal), normalisedZero(roughness)});
    if (found == correctionByKey_.end())
        return {LookupStatus::NotFound, 0};
    return {LookupStatus::Found, found->second};
}

namespace {
Lookup exact(const std::unordered_map<int, double>& map, double x)
{
    if (!ReferenceTables::validExactKey(x))
        return {LookupStatus::InvalidArgument, 0};
    const auto found = map.find(int(x));
    if (found == map.end())
        return {LookupStatus::NotFound, 0};
    return {LookupStatus::Found, found->second};
}
} // namespace

Lookup ReferenceTables::nominalByInternal(double internal) const
{
    return exact(nominalByInternal_[diametersAscending_ ? kAscending : kUnsorted], internal);
}

Lookup ReferenceTables::internalByNominal(double nominal) const
{
    return exact(internalByNominal_[diametersAscending_ ? kAscending : kUnsorted], nominal);
}

Lookup ReferenceTables::densityByTemperature(double temperature) const
{
    return exact(densityByTemperature_, temperature);
}

Lookup ReferenceTables::internalByDesign(double design, Direction direction)
{
    if (!(design > 0))
        return {LookupStatus::InvalidArgument, 0};
    // The table is sorted for the search and left unsorted afterwards.
    diametersAscending_ = false;
    const auto& v = internalSorted_;
    auto it = v.end();
    switch (direction) {
    case Direction::AtLeast:
        it = std::lower_bound(v.begin(), v.end(), design);
        break;
    case Direction::Above:
        it = std::upper_bound(v.begin(), v.end(), design);
        break;
    case Direction::AtMost:
        it = std::upper_bound(v.begin(), v.end(), design);
        it = it == v.begin() ? v.end() : it - 1;
        break;
    case Direction::Below:
        it = std::lower_bound(v.begin(), v.end(), design);
        it = it == v.begin() ? v.end() : it - 1;
        break;
    }
    if (it == v.end())
        return {LookupStatus::NotFound, 0};
    return {LookupStatus::Found, *it};
}

Lookup ReferenceTables::nearestInternalByDesign(double design)
{
    if (!(design > 0))
        return {LookupStatus::InvalidArgument, 0};
    diametersAscending_ = true;
    const auto& v = internalSorted_;
    const auto hiIt = std::lower_bound(v.begin(), v.end(), design); // first ≥ x
    const auto loEnd = std::upper_bound(v.begin(), v.end(), design); // after the last ≤ x
    const bool haveHi = hiIt != v.end();
    const bool haveLo = loEnd != v.begin();
    if (!haveHi && !haveLo)
        return {LookupStatus::NotFound, 0};
    if (!haveLo)
        return {LookupStatus::Found, *hiIt};
    const double lo = *(loEnd - 1);
    if (!haveHi)
        return {LookupStatus::Found, lo};
    const double hi = *hiIt;
    // A tie goes to the larger diameter.
    return {LookupStatus::Found, design >= (lo + hi) / 2 ? hi : lo};
}

} // namespace zurm
