// The sample catalogue's Russian, as every title page shows it: summaries open with a whole word,
// their verbs agree in number with their subjects, and birthplaces after "в" are in their case.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
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

// The text with its first letter, a Cyrillic capital, in lower case.
std::string lowerFirst(std::string text) {
  if (text.size() < 2) return text;
  auto lead = static_cast<unsigned char>(text[0]), next = static_cast<unsigned char>(text[1]);
  if (lead == 0xD0 && next >= 0x90 && next <= 0x9F) {
    text[1] = static_cast<char>(next + 0x20);  // А..П to а..п
  } else if (lead == 0xD0 && next >= 0xA0 && next <= 0xAF) {
    text[0] = static_cast<char>(0xD1);  // Р..Я to р..я
    text[1] = static_cast<char>(next - 0x20);
  }
  return text;
}

// Sport, music, documentaries and programmes: not stories, so told without their openings and roles.
bool isFiction(const sampleservice::Title& t) {
  for (const char* category : {"29", "28", "4", "3"})
    if (t.categoryId == category) return false;
  return true;
}

// The text with the quotes inside it as they nest within «»: „…“.
std::string nested(std::string text) {
  for (auto [from, to] : {std::pair<std::string, std::string>{"«", "„"}, {"»", "“"}})
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at))
      text.replace(at, from.size(), to);
  return text;
}

bool startsWithCapital(const std::string& text) { return lowerFirst(text) != text; }

// The year in a birthday "12 мая 1967".
int birthYear(const std::string& birthday) { return std::stoi(birthday.substr(birthday.rfind(' ') + 1)); }

// Fewer characters of a name than the phone's one-line row shows before it cuts the name.
constexpr std::size_t kPhoneRowCharacters = 20;

// The first characters of a text.
std::string leadingCharacters(const std::string& text, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t n = 0; at < text.size(); ++at)
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && n++ == count) break;
  return text.substr(0, at);
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
    if (!isFiction(t)) continue;
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

// Sport has commentators or no one, music its band, a documentary its author, a programme its
// host; none of them has the roles of a story or tells one.
void expectPeopleOfItsKind(const sampleservice::Title& t) {
  const std::set<std::string> storyRoles = {"главная роль", "роль второго плана", "эпизод", "камео"};
  EXPECT_EQ(t.about.find(" о том, как "), std::string::npos) << t.about;
  auto tells = [&](const std::string& name) { return t.description.find(name) != std::string::npos; };
  if (t.categoryId == "4") {
    ASSERT_EQ(t.directors.size(), 1u) << "a documentary has its author";
    ASSERT_FALSE(t.cast.empty());
    EXPECT_EQ(catalogue().person(t.cast[0].personId)->fullname, t.directors[0]);
    EXPECT_EQ(t.cast[0].role, "автор фильма");
    EXPECT_TRUE(tells(t.directors[0]));
  } else {
    EXPECT_EQ(t.directors.size(), 0u);
  }
  if (t.categoryId == "3" || t.categoryId == "28") {
    EXPECT_FALSE(t.cast.empty()) << "no host or performers";
  }
  for (const auto& entry : t.cast) {
    const auto* p = catalogue().person(entry.personId);
    EXPECT_FALSE(storyRoles.count(entry.role)) << entry.role;
    if (t.categoryId == "29") {
      EXPECT_EQ(entry.role, "комментатор");
    }
    if (t.categoryId == "29" || t.categoryId == "3") {
      EXPECT_TRUE(tells(p->fullname)) << p->fullname;
    }
    if (t.categoryId == "28") {
      // A performer plays in the band the title names.
      ASSERT_TRUE(p->description) << p->fullname;
      auto band = p->description->find("«");
      ASSERT_NE(band, std::string::npos) << *p->description;
      std::string name = p->description->substr(band + 2, p->description->rfind("»") - band - 2);
      EXPECT_NE(t.title.find(name), std::string::npos) << p->fullname << ": " << *p->description;
    }
  }
  if (t.categoryId == "29" && t.title.find(" — ") != std::string::npos) {
    std::string teams = t.title.substr(t.title.find(". ") + 2);
    std::string home = teams.substr(0, teams.find(" — ")), away = teams.substr(teams.find(" — ") + 5);
    EXPECT_NE(t.about.find("«" + home + "» и «" + away + "»"), std::string::npos) << "the teams of the match";
  }
}

// Each record tells one story: a person is born in the city of their record by their biography
// too, and is old enough for the titles they are in; a sport or music title carries the genre its
// name says; a title page's text tells the summary its tiles and slider show, is not light and
// tense at once, and nests its quotes; sport, music, documentaries and programmes have people of
// their own kind; children's titles are for children; the country is the one of the title's year;
// and a one-line row tells each music title from the others.
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
                         {"28", "Концерт в ", "Концерты"},
                         {"28", ". Клип группы «", "Клипы"}};
  std::map<std::string, const sampleservice::Person*> byName;
  for (const auto& p : catalogue().persons()) byName[p.fullname] = &p;
  std::set<std::string> musicRows;
  int titles = 0;
  for (const auto& t : catalogue().titles()) {
    SCOPED_TRACE(t.id + ": " + t.title + " / " + t.genreName);
    std::string heading = "«" + nested(t.title) + "» — ";
    EXPECT_TRUE(t.description.starts_with(heading + lowerFirst(t.about) + " ")) << t.description;
    int depth = 0;
    for (std::size_t at = 0; (at = t.description.find_first_of("\xAB\xBB", at)) != std::string::npos; ++at) {
      if (t.description.compare(at - 1, 2, "«") == 0) {
        EXPECT_EQ(depth++, 0) << "«» in «»: " << t.description;
      } else if (t.description.compare(at - 1, 2, "»") == 0) {
        --depth;
      }
    }
    bool light = t.description.find("ёгкая") != std::string::npos;
    EXPECT_FALSE(light && t.description.find("апряжённая") != std::string::npos) << t.description;

    int year = std::stoi(t.year);
    EXPECT_NE(t.country, year <= 1991 ? "Россия" : "СССР");
    if (t.categoryId == "31" || t.categoryId == "5") {
      EXPECT_LE(std::stoi(t.ageFrom), 12) << "a children's title";
    }
    for (const auto& entry : t.cast) {
      const auto* p = catalogue().person(entry.personId);
      if (p->birthday) {
        EXPECT_LE(birthYear(*p->birthday), year - 16) << p->fullname << " as " << entry.role;
      }
    }
    for (const auto& name : t.directors) {
      ASSERT_TRUE(byName.count(name)) << name;
      EXPECT_LE(birthYear(*byName[name]->birthday), year - 20) << "directed by " << name;
    }
    // A programme named after its host has them first.
    const std::string with = " с ";
    if (auto at = t.title.find(with);
        at != std::string::npos && startsWithCapital(t.title.substr(at + with.size()))) {
      ASSERT_FALSE(t.cast.empty());
      for (const auto& part : words(catalogue().person(t.cast[0].personId)->fullname))
        EXPECT_NE(t.title.find(part.substr(0, part.size() - 2), at), std::string::npos) << part;
    }
    if (!isFiction(t)) expectPeopleOfItsKind(t);
    if (t.categoryId == "28") {
      EXPECT_TRUE(musicRows.insert(leadingCharacters(t.title, kPhoneRowCharacters)).second)
          << "a one-line row reads as another's";
    }
    if (t.categoryId != "29" && t.categoryId != "28") continue;
    std::vector<std::string> genres;
    for (const Named& n : named)
      if (t.categoryId == n.category && t.title.find(n.mark) != std::string::npos) genres.push_back(n.genre);
    if (genres.size() != 1) {
      ADD_FAILURE() << "the name names " << genres.size() << " genres";
      continue;
    }
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
