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

// The text with its first letter in lower case, for the openings of the summaries.
std::string lowerFirst(std::string text) {
  for (auto [upper, lower] : {std::pair{"И", "и"}, {"Р", "р"}, {"Ф", "ф"}, {"Л", "л"}})
    if (text.starts_with(upper)) return lower + text.substr(std::string(upper).size());
  return text;
}

// A summary: "<opening> о том, как <subject> <verb> ...".
void expectSummary(const std::string& text, const std::string& where) {
  static const std::vector<std::string> openings = {"история", "рассказ", "фильм", "лёгкая история"};
  static const std::vector<std::string> pluralSubjects = {"две сестры", "друзья детства"};
  const std::string joint = " о том, как ";
  auto at = text.find(joint);
  ASSERT_NE(at, std::string::npos) << where << ": " << text;
  std::string opening = lowerFirst(text.substr(0, at));
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

// Each record tells one story: a person is born in the city of their record by their biography
// too, a sport or music title carries the genre its name says, and a title page's text tells the
// summary its tiles and slider show.
TEST(CatalogueTextTest, EachRecordAgreesWithItself) {
  int persons = 0;
  for (const auto& p : catalogue().persons()) {
    if (!p.biography || !p.birthPlace) continue;
    SCOPED_TRACE(p.id + ": " + *p.birthPlace + " / " + *p.biography);
    std::string city = p.birthPlace->substr(0, p.birthPlace->find(','));
    // In its case after "в": a closing vowel or soft sign gives way to "е" or "и".
    std::string stem = city;
    for (const char* ending : {"а", "я", "ь"})
      if (stem.ends_with(ending)) stem.resize(stem.size() - std::string(ending).size());
    bool agrees = false;
    for (const char* born : {"Родился в ", "Родилась в "})
      for (const char* ending : {"е", "и"})
        agrees = agrees || p.biography->starts_with(born + stem + ending + ". ");
    EXPECT_TRUE(agrees);
    ++persons;
  }
  EXPECT_GT(persons, 50);

  struct Named {
    const char* category;
    const char* mark;
    const char* genre;
  };
  const Named named[] = {{"29", "Футбол. ", "Футбол"},
                         {"29", "Хоккей. ", "Хоккей"},
                         {"29", "Биатлон. ", "Биатлон"},
                         {"28", ". Концерт в ", "Концерты"},
                         {"28", ". Клип «", "Клипы"}};
  int titles = 0;
  for (const auto& t : catalogue().titles()) {
    SCOPED_TRACE(t.id + ": " + t.title + " / " + t.genreName);
    std::string heading = "«" + t.title + "» — ";
    EXPECT_TRUE(t.description.starts_with(heading + lowerFirst(t.about) + " ")) << t.description;
    if (t.categoryId != "29" && t.categoryId != "28") continue;
    std::vector<std::string> genres;
    for (const Named& n : named)
      if (t.categoryId == n.category && t.title.find(n.mark) != std::string::npos) genres.push_back(n.genre);
    ASSERT_EQ(genres.size(), 1u) << "the name names one genre";
    EXPECT_EQ(t.genreName, genres[0]);
    const auto* category = catalogue().category(t.categoryId);
    ASSERT_TRUE(category);
    auto genre = std::find_if(category->genres.begin(), category->genres.end(),
                              [&](const auto& g) { return g.id == t.genreId; });
    ASSERT_NE(genre, category->genres.end());
    EXPECT_EQ(genre->title, t.genreName);
    ++titles;
  }
  EXPECT_EQ(titles, 42);
}

}  // namespace
