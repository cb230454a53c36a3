// The dialog definitions as the toolkit's readers see them: every template
// and its extended data parse, and the data carries the menus, defaults,
// ranges and radio groups the procedures rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "expected_dialogs.h"
#include "resources/dialog_fields.h"
#include "toolkit/dialog_template.h"
#include "toolkit/extended_data.h"
#include "toolkit/resource_store.h"

namespace {

using toolkit::DialogTemplate;
using toolkit::ExtendedData;
using toolkit::FieldKind;
using toolkit::TemplateControl;

DialogTemplate LoadTemplate(int id) {
  std::string text;
  DialogTemplate tmpl;
  std::string error;
  EXPECT_TRUE(FindDialogResource(id, false, text)) << "no template " << id;
  EXPECT_TRUE(toolkit::ParseDialogTemplate(text, tmpl, error)) << "dialog " << id << ": " << error;
  return tmpl;
}

std::optional<std::string> ExtendedText(int id) {
  std::string text;
  if (!FindDialogResource(id, true, text)) return std::nullopt;
  return text;
}

const TemplateControl* Control(const DialogTemplate& t, int id) {
  for (const auto& c : t.controls)
    if (c.id == id) return &c;
  return nullptr;
}

// Radio groups by the rule of the dialog manager: a run of BUTTON-class
// fields that starts at a radio button with the group bit and ends before
// the next field with the group bit or of another class.
std::vector<std::vector<int>> RadioGroups(const DialogTemplate& t) {
  std::vector<std::vector<int>> groups;
  bool open = false;
  for (const auto& c : t.controls) {
    const bool group = c.styles & toolkit::kStyleGroup;
    if (c.className != "BUTTON" || group) open = false;
    if (c.kind() != FieldKind::RadioButton) continue;
    if (!open) {
      groups.emplace_back();
      open = true;
    }
    groups.back().push_back(c.id);
  }
  return groups;
}

const std::vector<std::string> kMonths = {"January", "February", "March",     "April",
                                          "May",     "June",     "July",      "August",
                                          "September", "October", "November", "December"};

std::vector<std::string> Years() {
  std::vector<std::string> years;
  for (int y = 2004; y <= 2015; ++y) years.push_back(std::to_string(y));
  return years;
}

std::vector<std::string> Pressures(bool with1750) {
  std::vector<std::string> p = {"0",   "100", "200", "300",  "400",  "500",  "600", "700",
                                "800", "900", "1000", "1250", "1500", "1750", "2000"};
  if (!with1750) p.erase(std::find(p.begin(), p.end(), "1750"));
  return p;
}

TEST(DialogResources, EveryTemplateParsesWithTitleFieldsAndSize) {
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    const DialogTemplate t = LoadTemplate(expected.id);
    EXPECT_EQ(t.id, expected.id);
    EXPECT_EQ(t.title, expected.title);
    const bool mainMenu = expected.id == 101 || expected.id == 108;
    EXPECT_EQ(t.fontFace, mainMenu ? "Arial" : "MS Sans Serif");
    EXPECT_EQ(t.fontPoints, mainMenu ? 10 : 8);

    std::set<int> ids;
    for (const auto& c : t.controls) {
      EXPECT_TRUE(ids.insert(c.id).second) << "field " << c.id << " twice";
      // A combo box's height is its opened list; closed it is one line.
      const int height = c.className == "COMBOBOX" ? std::min(c.height, 12) : c.height;
      EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.width <= t.width && c.y + height <= t.height)
          << "field " << c.id << " lies outside the " << t.width << "x" << t.height << " dialog";
    }
    for (int id : expected.fields) EXPECT_TRUE(ids.count(id)) << "field " << id << " missing";
    EXPECT_EQ(ids.size(), expected.fields.size()) << "fields beyond the expected ones";
  }
}

TEST(DialogResources, ExtendedDataEntriesFitTheirFields) {
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    const auto text = ExtendedText(expected.id);
    if (!text) continue;
    ASSERT_FALSE(text->empty());
    EXPECT_EQ(text->back(), '\n');
    for (std::size_t pos = text->find('\n'); pos != std::string::npos; pos = text->find('\n', pos + 1))
      EXPECT_TRUE(pos > 0 && (*text)[pos - 1] == ' ') << "line ending at byte " << pos
                                                      << " lacks its final blank";

    const DialogTemplate t = LoadTemplate(expected.id);
    const ExtendedData data = toolkit::ParseExtendedData(*text);
    EXPECT_TRUE(data.malformedLines.empty()) << "first malformed line " << data.malformedLines[0];
    auto kindOf = [&](int id) {
      const TemplateControl* c = Control(t, id);
      EXPECT_NE(c, nullptr) << "entry for field " << id << " that the template lacks";
      return c ? c->kind() : FieldKind::Label;
    };
    for (const auto& m : data.menus) {
      const FieldKind k = kindOf(m.id);
      EXPECT_TRUE(k == FieldKind::DropDownList || k == FieldKind::EditableDropDown ||
                  k == FieldKind::ListBox)
          << "menu " << m.id;
      EXPECT_EQ(static_cast<int>(m.items.size()), m.count) << "menu " << m.id << " runs off the end";
    }
    for (const auto& c : data.checks) {
      const FieldKind k = kindOf(c.id);
      EXPECT_TRUE(k == FieldKind::RadioButton || k == FieldKind::CheckBox) << "check " << c.id;
    }
    for (const auto& r : data.ranges) {
      EXPECT_EQ(kindOf(r.id), FieldKind::NumericEdit) << "range " << r.id;
      EXPECT_LE(r.minimum, r.maximum) << "range " << r.id << " would not be in force";
    }
    for (const auto& f : data.formats) EXPECT_EQ(kindOf(f.id), FieldKind::NumericEdit) << "format " << f.id;
    for (const auto& l : data.lengths) {
      const FieldKind k = kindOf(l.id);
      EXPECT_TRUE(k == FieldKind::TextEdit || k == FieldKind::NumericEdit ||
                  k == FieldKind::EditableDropDown)
          << "length " << l.id;
    }
    for (const auto& f : data.fonts) kindOf(f.id);
  }
}

TEST(DialogResources, RadioGroupsAndInitialChoices) {
  for (int id : {101, 108}) {
    SCOPED_TRACE("dialog " + std::to_string(id));
    const DialogTemplate t = LoadTemplate(id);
    // The main choice reads 1 to 5 in this order.
    EXPECT_EQ(RadioGroups(t), (std::vector<std::vector<int>>{{kMainMapRadio, kMainSectionRadio,
                                                               kMainSeriesRadio, kMainLineRadio,
                                                               kMainProductRadio}}));
    const ExtendedData data = toolkit::ParseExtendedData(*ExtendedText(id));
    ASSERT_EQ(data.checks.size(), 1u);
    EXPECT_EQ(data.checks[0].id, kMainMapRadio);
    EXPECT_EQ(data.checks[0].state, 1);
  }
  for (int id : {103, 104, 105, 110}) {
    SCOPED_TRACE("dialog " + std::to_string(id));
    const DialogTemplate t = LoadTemplate(id);
    EXPECT_EQ(RadioGroups(t),
              (std::vector<std::vector<int>>{{kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio}}));
    const ExtendedData data = toolkit::ParseExtendedData(*ExtendedText(id));
    ASSERT_EQ(data.checks.size(), 1u);
    EXPECT_EQ(data.checks[0].id, kPlotDefaultLevelsRadio);
    EXPECT_EQ(data.checks[0].state, 1);
    // The typed fill levels start disabled until "Specify levels" is chosen.
    ASSERT_NE(Control(t, kPlotLevelsBox), nullptr);
    EXPECT_EQ(Control(t, kPlotLevelsBox)->kind(), FieldKind::TextEdit);
    EXPECT_TRUE(Control(t, kPlotLevelsBox)->styles & toolkit::kStyleDisabled);
    EXPECT_EQ(Control(t, kPlotButton)->kind(), FieldKind::PushButton);
    EXPECT_TRUE(Control(t, kPlotButton)->styles & toolkit::kStyleDefPush) << "Plot is the default button";
  }
}

struct MenuSpec {
  int dialog, field, count, initial;
};

TEST(DialogResources, MenusCarryTheirItemsAndDefaults) {
  const int none = -999;
  const std::vector<MenuSpec> menus = {
      {103, kPlotPropertyMenu, 8, 1}, {103, kPlotUpperMenu, 15, 1}, {103, kPlotLowerMenu, 14, 1},
      {103, kPlotTypeMenu, 8, 1}, {103, kPlotNorthLetterMenu, 2, 1},
      {103, kPlotSouthLetterMenu, 2, 2}, {103, kPlotWestLetterMenu, 2, 1},
      {103, kPlotEastLetterMenu, 2, 1}, {103, kPlotStartMonthMenu, 12, 6},
      {103, kPlotStartYearMenu, 12, 5}, {103, kPlotEndMonthMenu, 12, none},
      {103, kPlotEndYearMenu, 13, none}, {103, kPlotLandMenu, 2, 2}, {103, kMapVectorXMenu, 3, 2},
      {103, kMapVectorYMenu, 3, 2},
      {105, kPlotPropertyMenu, 5, 1}, {105, kVertUpperMenu, 15, 1}, {105, kVertLowerMenu, 15, 15},
      {105, kPlotTypeMenu, 4, 1}, {105, kVertDirectionMenu, 2, 1},
      {105, kPlotNorthLetterMenu, 2, 1}, {105, kPlotWestLetterMenu, 2, 2},
      {105, kPlotEastLetterMenu, 2, 2}, {105, kPlotSouthLetterMenu, 2, 2},
      {105, kVertStartMonthMenu, 12, 6}, {105, kVertStartYearMenu, 12, 5},
      {105, kVertEndMonthMenu, 12, none}, {105, kVertEndYearMenu, 12, none},
      {104, kPlotPropertyMenu, 9, 1}, {104, kPlotUpperMenu, 15, 1}, {104, kPlotLowerMenu, 15, 15},
      {104, kPlotTypeMenu, 4, 1}, {104, kPlotLocationMenu, 1, 1}, {104, kPlotNorthLetterMenu, 2, 2},
      {104, kPlotWestLetterMenu, 2, 2}, {104, kPlotEastLetterMenu, 2, 2},
      {104, kPlotSouthLetterMenu, 2, 2}, {104, kPlotStartMonthMenu, 12, 1},
      {104, kPlotStartYearMenu, 12, 1}, {104, kPlotEndMonthMenu, 12, 6},
      {104, kPlotEndYearMenu, 13, 5},
      {109, kPlotPropertyMenu, 13, 1}, {109, kPlotUpperMenu, 15, 1}, {109, kPlotLowerMenu, 14, 2},
      {109, kPlotTypeMenu, 3, 1}, {109, kPlotLocationMenu, 1, 1}, {109, kPlotNorthLetterMenu, 2, 2},
      {109, kPlotWestLetterMenu, 2, 2}, {109, kPlotEastLetterMenu, 2, 2},
      {109, kPlotSouthLetterMenu, 2, 2}, {109, kPlotStartMonthMenu, 12, 1},
      {109, kPlotStartYearMenu, 12, 1}, {109, kPlotEndMonthMenu, 12, 6},
      {109, kPlotEndYearMenu, 13, 5},
      {110, kPlotPropertyMenu, 8, 1}, {110, kPlotUpperMenu, 15, 1}, {110, kPlotLowerMenu, 14, 1},
      {110, kPlotTypeMenu, 2, 1}, {110, kPlotNorthLetterMenu, 2, 1},
      {110, kPlotSouthLetterMenu, 2, 2}, {110, kPlotWestLetterMenu, 2, 1},
      {110, kPlotEastLetterMenu, 2, 1}, {110, kPlotStartMonthMenu, 12, 8},
      {110, kPlotStartYearMenu, 12, 5}, {110, kPlotEndMonthMenu, 12, none},
      {110, kPlotEndYearMenu, 12, none}, {110, kPlotLandMenu, 2, 2},
  };
  std::map<int, ExtendedData> data;
  for (int id : {103, 104, 105, 109, 110}) data[id] = toolkit::ParseExtendedData(*ExtendedText(id));
  std::map<int, std::size_t> listed;
  for (const auto& spec : menus) {
    SCOPED_TRACE("dialog " + std::to_string(spec.dialog) + " menu " + std::to_string(spec.field));
    const auto& all = data[spec.dialog].menus;
    auto m = std::find_if(all.begin(), all.end(), [&](const auto& e) { return e.id == spec.field; });
    ASSERT_NE(m, all.end());
    ++listed[spec.dialog];
    EXPECT_EQ(m->count, spec.count);
    EXPECT_EQ(m->initial, spec.initial);
    // Lists that share their contents across dialogs.
    const auto& items = m->items;
    const std::set<int> months = {kPlotStartMonthMenu, kPlotEndMonthMenu, kVertStartMonthMenu,
                                  kVertEndMonthMenu},
                        years = {kPlotStartYearMenu, kPlotEndYearMenu, kVertStartYearMenu,
                                 kVertEndYearMenu},
                        pressures = {kVertUpperMenu, kPlotUpperMenu, kPlotLowerMenu, kVertLowerMenu};
    if (months.count(spec.field)) {
      EXPECT_EQ(items, kMonths);
    } else if (years.count(spec.field)) {
      auto want = Years();
      // The thirteenth item of an end-year list is empty and never a year.
      if (spec.count == 13) want.push_back("");
      EXPECT_EQ(items, want);
    } else if (pressures.count(spec.field)) {
      EXPECT_EQ(items, Pressures(spec.count == 15));
    } else if (spec.field == kPlotNorthLetterMenu || spec.field == kPlotSouthLetterMenu) {
      EXPECT_EQ(items, (std::vector<std::string>{"N", "S"}));
    } else if (spec.field == kPlotWestLetterMenu || spec.field == kPlotEastLetterMenu) {
      EXPECT_EQ(items, (std::vector<std::string>{"E", "W"}));
    }
  }
  for (const auto& [id, d] : data) EXPECT_EQ(d.menus.size(), listed[id]) << "unlisted menu in " << id;

  // Texts the procedures compare or that the user must see byte for byte.
  auto items = [&](int dialog, int field) {
    for (const auto& m : data[dialog].menus)
      if (m.id == field) return m.items;
    return std::vector<std::string>{};
  };
  EXPECT_EQ(items(104, kPlotLocationMenu), std::vector<std::string>{"Choose  location"});
  EXPECT_EQ(items(104, kPlotTypeMenu).back(), "");
  EXPECT_EQ(items(103, kPlotPropertyMenu)[5], "Dynamic height with Geostrophic velocity - Argo data");
  EXPECT_EQ(items(103, kPlotTypeMenu)[6], "Anomaly from monthly mean+station distribution");
  EXPECT_EQ(items(105, kVertDirectionMenu), (std::vector<std::string>{"North - South", "East - West"}));
  EXPECT_EQ(items(109, kPlotPropertyMenu)[9], "Argo temperature & salinity vs. pressure");
  EXPECT_EQ(items(110, kPlotLandMenu)[0], "Land with 200m and 1000m bathymetry  (slower)");
  EXPECT_EQ(items(110, kPlotPropertyMenu)[7], "Reynolds Nino 3.4 Anomaly");
}

TEST(DialogResources, SectionsFontsAndLengths) {
  // Dialog 105 keeps [Lengths] between [Ranges] and [Formats]; the
  // pressures it takes are at most four characters.
  const std::string text105 = *ExtendedText(105);
  const auto ranges = text105.find("[Ranges]"), lengths = text105.find("[Lengths]"),
             formats = text105.find("[Formats]");
  ASSERT_NE(lengths, std::string::npos);
  EXPECT_LT(ranges, lengths);
  EXPECT_LT(lengths, formats);
  const ExtendedData d105 = toolkit::ParseExtendedData(text105);
  ASSERT_EQ(d105.lengths.size(), 2u);
  for (const auto& l : d105.lengths) {
    EXPECT_TRUE(l.id == kVertUpperMenu || l.id == kVertLowerMenu);
    EXPECT_EQ(l.length, 4);
  }

  for (int id : {101, 108}) {
    const ExtendedData d = toolkit::ParseExtendedData(*ExtendedText(id));
    ASSERT_EQ(d.fonts.size(), 2u);
    EXPECT_EQ(d.fonts[0].id, kMainWelcomeLabel);
    EXPECT_EQ(d.fonts[0].points, 12);
    EXPECT_EQ(d.fonts[0].face, "MS Sans Serif");
    EXPECT_EQ(d.fonts[0].weight, 700);
    EXPECT_FALSE(d.fonts[0].italic);
    EXPECT_EQ(d.fonts[1].id, kMainVersionLabel);
    EXPECT_EQ(d.fonts[1].points, 8);
    EXPECT_EQ(d.fonts[1].face, "Arial");
  }
  for (auto [dialog, field] : {std::pair{107, kJpgPathBox}, std::pair{111, kUpdateCompletion}}) {
    const ExtendedData d = toolkit::ParseExtendedData(*ExtendedText(dialog));
    ASSERT_EQ(d.fonts.size(), 1u);
    EXPECT_EQ(d.fonts[0].id, field);
    EXPECT_EQ(d.fonts[0].weight, 700) << "bold line of dialog " << dialog;
  }
}

}  // namespace
