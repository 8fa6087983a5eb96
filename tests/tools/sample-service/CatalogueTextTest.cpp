// The sample catalogue's Russian, as every title page shows it: summaries open with a whole word,
// their verbs agree in number with their subjects, and birthplaces after "в" are in their case.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "SampleCatalogue.h"

namespace {

using sampleservice::Catalogue;

const Catalogue& catalogue() {
  static const Catalogue c = Catalogue::load(sampleservice::defaultDataFolder());
  return c;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t space = text.find(' ', at);
    if (space == std::string::npos) space = text.size();
    if (space > at) out.push_back(text.substr(at, space - at));
    at = space + 1;
  }
  return out;
}

// The verb's ending in the third person of the present tense: plural, singular or none.
enum class Number { none, singular, plural };
Number verbNumber(std::string word) {
  if (word.ends_with("ся")) word.resize(word.size() - std::string("ся").size());
  for (const char* e : {"ут", "ют", "ат", "ят"})
    if (word.ends_with(e)) return Number::plural;
  for (const char* e : {"ет", "ёт", "ит"})
    if (word.ends_with(e)) return Number::singular;
  return Number::none;
}

// A summary: "<opening> о том, как <subject> <verb> ...".
void expectSummary(const std::string& text, const std::string& where) {
  static const std::vector<std::string> openings = {"история", "рассказ", "фильм", "лёгкая история"};
  static const std::vector<std::string> pluralSubjects = {"две сестры", "друзья детства"};
  const std::string joint = " о том, как ";
  auto at = text.find(joint);
  ASSERT_NE(at, std::string::npos) << where << ": " << text;
  std::string opening = text.substr(0, at);
  for (auto [upper, lower] : {std::pair{"И", "и"}, {"Р", "р"}, {"Ф", "ф"}, {"Л", "л"}})
    if (opening.starts_with(upper)) opening = lower + opening.substr(std::string(upper).size());
  EXPECT_TRUE(std::find(openings.begin(), openings.end(), opening) != openings.end())
      << where << ": the opening \"" << text.substr(0, at) << "\" in " << text;

  auto rest = words(text.substr(at + joint.size()));
  std::size_t verb = 1;
  while (verb < rest.size() && verbNumber(rest[verb]) == Number::none) ++verb;
  ASSERT_LT(verb, rest.size()) << where << ": no verb in " << text;
  std::string subject = rest[0];
  for (std::size_t i = 1; i < verb; ++i) subject += " " + rest[i];
  bool plural = std::find(pluralSubjects.begin(), pluralSubjects.end(), subject) != pluralSubjects.end();
  EXPECT_EQ(verbNumber(rest[verb]), plural ? Number::plural : Number::singular)
      << where << ": \"" << subject << "\" with \"" << rest[verb] << "\"";
}

TEST(CatalogueTextTest, SummariesOpenWithWholeWordsAndTheirVerbsAgree) {
  int checked = 0;
  for (const auto& t : catalogue().titles()) {
    expectSummary(t.about, t.id + " about");
    std::string heading = "«" + t.title + "» — ";
    ASSERT_TRUE(t.description.starts_with(heading)) << t.id << ": " << t.description;
    expectSummary(t.description.substr(heading.size()), t.id + " description");
    checked += 2;
    for (const auto& e : t.episodes) {
      expectSummary(e.about, t.id + " episode " + e.id);
      ++checked;
    }
  }
  EXPECT_GT(checked, 500);
}

TEST(CatalogueTextTest, BirthplacesAfterVAreInTheirCase) {
  int checked = 0;
  for (const auto& p : catalogue().persons()) {
    if (!p.biography) continue;
    const std::string& text = *p.biography;
    std::string place;
    for (const char* born : {"Родился в ", "Родилась в "})
      if (text.starts_with(born))
        place = text.substr(std::string(born).size(), text.find(". ") - std::string(born).size());
    ASSERT_FALSE(place.empty()) << p.id << ": " << text;
    EXPECT_TRUE(place.ends_with("е") || place.ends_with("и")) << p.id << ": " << text;
    ++checked;
  }
  EXPECT_GT(checked, 50);
}

}  // namespace
