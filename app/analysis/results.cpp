#include "analysis/results.h"

#include "analysis/NumberText.h"

#include <limits>

namespace {

struct EntryInfo
{
    const char* key;
    double results::*member;
};

const EntryInfo kEntries[results::entryCount] = {
    {"Vpmax", &results::Vpmax},
    {"Vpmax_error", &results::Vpmax_error},
    {"Vp", &results::Vp},
    {"Vp_error", &results::Vp_error},
    {"Vf", &results::Vf},
    {"Vf_error", &results::Vf_error},
    {"kTe", &results::kTe},
    {"kTe_error", &results::kTe_error},
    {"Je", &results::Je},
    {"Je_error", &results::Je_error},
    {"Ne", &results::Ne},
    {"Ne_error", &results::Ne_error},
    {"Jp", &results::Jp},
    {"Jp_error", &results::Jp_error},
    {"Ni", &results::Ni},
    {"Ni_error", &results::Ni_error},
    {"Vsat", &results::Vsat},
    {"Vsat_error", &results::Vsat_error},
    {"Ldebye", &results::Ldebye},
    {"Ldebye_error", &results::Ldebye_error},
    {"eedf_Ne", &results::eedf_Ne},
    {"eedf_Ne_error", &results::eedf_Ne_error},
    {"eedf_AvgEnergy", &results::eedf_AvgEnergy},
    {"eedf_AvgEnergy_error", &results::eedf_AvgEnergy_error},
    {"eedf_kTe", &results::eedf_kTe},
    {"eedf_kTe_error", &results::eedf_kTe_error},
};

} // namespace

results::results()
{
    reset();
}

void results::reset()
{
    for (const EntryInfo& e : kEntries)
        this->*e.member = std::numeric_limits<double>::quiet_NaN();
}

QString results::parameterLabel(int index)
{
    static const char* const labels[] = {
        "Vp (V)",
        "Vf (V)",
        "kTe (eV)",
        "Je (A/m^2)",
        "Ne (m^-3)",
        "Jp (A/m^2)",
        "Ni (m^-3)",
        "<font>Debye Length (&micro;m)</font>",
        "EEDF Ne (m^-3)",
        "Energy (eV)",
        "EEDF kTe (eV)",
    };
    if (index < 0 || index >= int(sizeof labels / sizeof labels[0]))
        return QStringLiteral("Unknown");
    return QString::fromLatin1(labels[index]);
}

const char* results::key(int entry)
{
    return kEntries[entry].key;
}

double& results::entry(int index)
{
    return this->*kEntries[index].member;
}

double results::entry(int index) const
{
    return this->*kEntries[index].member;
}

void results::write(QMap<QString, QString>& map) const
{
    for (const EntryInfo& e : kEntries)
        map.insert(QString::fromLatin1(e.key), shortestNumberText(this->*e.member));
}

void results::read(const QMap<QString, QString>& map)
{
    reset();
    for (const EntryInfo& e : kEntries) {
        const auto it = map.constFind(QString::fromLatin1(e.key));
        if (it != map.constEnd())
            this->*e.member = parseNumberText(it.value());
    }
}
