#include "Commands.h"

#include "CatUnits.h"
#include "CliCommon.h"
#include "ConvArith.h"

#include <QCommandLineParser>

#include <vector>

namespace {

const QString kCategory = QStringLiteral("category");

QString CategoryList(const std::vector<TConvCategory*>& categories)
{
    QStringList names;
    for (const TConvCategory* category : categories)
        names << category->Name;
    return names.join(QStringLiteral(", "));
}

std::vector<TConvCategory*> CategoriesWithUnit(const TConvCategories& catalogue, const QString& unit)
{
    std::vector<TConvCategory*> found;
    for (int i = 0; i < catalogue.Count(); ++i) {
        if (catalogue.Categories(i)->IndexOfUnit(unit) >= 0)
            found.push_back(catalogue.Categories(i));
    }
    return found;
}

// The category that holds both units: the named one, or the only one that has both.
// Prints the reason and returns nothing when there is no such single category.
TConvCategory* ChooseCategory(const TConvCategories& catalogue, const QCommandLineParser& parser, const QString& from,
                              const QString& to)
{
    if (parser.isSet(kCategory)) {
        TConvCategory* category = catalogue.FindCategory(parser.value(kCategory));
        if (!category) {
            PrintError(QStringLiteral("no category named '%1'").arg(parser.value(kCategory)));
            return nullptr;
        }
        for (const QString& unit : {from, to}) {
            if (category->IndexOfUnit(unit) < 0) {
                PrintError(QStringLiteral("the category '%1' has no unit named '%2'").arg(category->Name, unit));
                return nullptr;
            }
        }
        return category;
    }

    const std::vector<TConvCategory*> withFrom = CategoriesWithUnit(catalogue, from);
    const std::vector<TConvCategory*> withTo = CategoriesWithUnit(catalogue, to);
    for (const auto& [unit, found] : {std::pair{from, withFrom}, std::pair{to, withTo}}) {
        if (found.empty()) {
            PrintError(QStringLiteral("no unit named '%1'").arg(unit));
            return nullptr;
        }
    }
    std::vector<TConvCategory*> both;
    for (TConvCategory* category : withFrom) {
        if (category->IndexOfUnit(to) >= 0)
            both.push_back(category);
    }
    if (both.empty()) {
        PrintError(QStringLiteral("'%1' (%2) and '%3' (%4) are not units of one category")
                       .arg(from, CategoryList(withFrom), to, CategoryList(withTo)));
        return nullptr;
    }
    if (both.size() > 1) {
        PrintError(QStringLiteral("'%1' and '%2' are units of more than one category (%3); choose one with "
                                  "--category")
                       .arg(from, to, CategoryList(both)));
        return nullptr;
    }
    return both.front();
}

} // namespace

int CmdConvert(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts a value from one unit to another unit of the same category, reading and "
                       "writing numbers as the program does. Unit names ignore case; N/A (exit code 1) when "
                       "the value cannot be read or converted."));
    parser.addPositionalArgument(QStringLiteral("VALUE"), QStringLiteral("The value, as typed into the program."));
    parser.addPositionalArgument(QStringLiteral("FROM"), QStringLiteral("The unit of the value."));
    parser.addPositionalArgument(QStringLiteral("TO"), QStringLiteral("The unit to convert to."));
    AddOption(parser, QCommandLineOption(kCategory,
                                         QStringLiteral("The category of the two units, when they share more "
                                                        "than one."),
                                         QStringLiteral("NAME")));
    AddDataOptions(parser);
    AddFormatOptions(parser, true);
    if (const auto exit = ParseArguments(parser, args))
        return *exit;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3)
        return UsageError(QStringLiteral("expected VALUE FROM TO"));
    TFormatSettings settings;
    if (const auto error = ReadFormatOptions(parser, true, settings))
        return UsageError(*error);

    TConvCategories catalogue;
    if (const int loaded = LoadCatalogue(parser, catalogue); loaded != ExitOk)
        return loaded;
    const TConvCategory* category = ChooseCategory(catalogue, parser, positional[1], positional[2]);
    if (!category)
        return ExitUsage;
    const TConvUnit& from = *category->Units(category->IndexOfUnit(positional[1]));
    const TConvUnit& to = *category->Units(category->IndexOfUnit(positional[2]));
    const QString result = Recalculate(positional[0], from, to, false, settings);
    PrintLine(result);
    return result == QLatin1String(kNotAvailable) ? ExitValue : ExitOk;
}

int CmdCategories(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lists the categories of units, one a line, in the "
                                                    "program's order."));
    AddDataOptions(parser);
    if (const auto exit = ParseArguments(parser, args))
        return *exit;
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("no arguments expected"));

    TConvCategories catalogue;
    if (const int loaded = LoadCatalogue(parser, catalogue); loaded != ExitOk)
        return loaded;
    for (int i = 0; i < catalogue.Count(); ++i)
        PrintLine(catalogue.Categories(i)->Name);
    return ExitOk;
}

int CmdUnits(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lists units, one a line, tab-separated: name, factor (the number of the unit in one "
                       "base unit, exact), and 'custom' or 'built-in'. Without CATEGORY every category's units "
                       "are listed, each line starting with the category's name."));
    parser.addPositionalArgument(QStringLiteral("CATEGORY"), QStringLiteral("The category to list."),
                                 QStringLiteral("[CATEGORY]"));
    AddDataOptions(parser);
    if (const auto exit = ParseArguments(parser, args))
        return *exit;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return UsageError(QStringLiteral("expected at most one CATEGORY"));

    TConvCategories catalogue;
    if (const int loaded = LoadCatalogue(parser, catalogue); loaded != ExitOk)
        return loaded;

    auto printUnits = [](const TConvCategory& category, bool withCategory) {
        for (int i = 0; i < category.UnitCount(); ++i) {
            const TConvUnit& unit = *category.Units(i);
            QStringList fields;
            if (withCategory)
                fields << category.Name;
            fields << unit.Name << ShortestDecimal(unit.Factor)
                   << (unit.Custom ? QStringLiteral("custom") : QStringLiteral("built-in"));
            PrintLine(fields.join(u'\t'));
        }
    };
    if (positional.isEmpty()) {
        for (int i = 0; i < catalogue.Count(); ++i)
            printUnits(*catalogue.Categories(i), true);
        return ExitOk;
    }
    const TConvCategory* category = catalogue.FindCategory(positional[0]);
    if (!category) {
        PrintError(QStringLiteral("no category named '%1'").arg(positional[0]));
        return ExitUsage;
    }
    printUnits(*category, false);
    return ExitOk;
}
