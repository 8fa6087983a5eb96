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

// Sport, music, documentaries, programmes and humour: not stories, so told without their openings and
// roles.
bool isFiction(const sampleservice::Title& t) {
  for (const char* category : {"29", "28", "4", "3", "6"})
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

// How a summary may open, by category; an episode of a series may also call itself one.
std::vector<std::string> openingsOf(const std::string& categoryId, bool episode) {
  if (categoryId == "31") return {"мультфильм", "сказка", "история", "весёлая история"};
  if (categoryId == "5") return {"фильм", "история", "добрая история", "весёлая история"};
  std::vector<std::string> story = {"история", "рассказ", "лёгкая история"};
  story.push_back(categoryId == "2"   ? (episode ? "серия" : "сериал")
                  : categoryId == "7" ? "спектакль"
                                      : "фильм");
  return story;
}

// A summary: "<opening> о том, как <subject> <verb> ...".
void expectSummary(const std::string& text, const std::string& where,
                   const std::vector<std::string>& openings) {
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
  bool plural = std::find(pluralSubjects.begin(), pluralSubjects.end(), subject) != pluralSubjects.end() ||
                subject.ends_with(" и его друзья");
  EXPECT_EQ(verbNumber(rest[verb]), plural ? Number::plural : Number::singular)
      << where << ": \"" << subject << "\" with \"" << rest[verb] << "\"";
}

TEST(CatalogueTextTest, SummariesOpenWithWholeWordsAndTheirVerbsAgree) {
  int checked = 0;
  for (const auto& t : catalogue().titles()) {
    if (!isFiction(t)) continue;
    expectSummary(t.about, t.id + " about", openingsOf(t.categoryId, false));
    std::string heading = "«" + t.title + "» — ";
    ASSERT_TRUE(t.description.starts_with(heading)) << t.id << ": " << t.description;
    expectSummary(t.description.substr(heading.size()), t.id + " description",
                  openingsOf(t.categoryId, false));
    checked += 2;
    for (const auto& e : t.episodes) {
      expectSummary(e.about, t.id + " episode " + e.id, openingsOf(t.categoryId, true));
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
    std::string teams = t.title.substr(0, t.title.rfind(". "));
    std::string home = teams.substr(0, teams.find(" — ")), away = teams.substr(teams.find(" — ") + 5);
    EXPECT_NE(t.about.find("«" + home + "» и «" + away + "»"), std::string::npos) << "the teams of the match";
  }
}

// Each record tells one story: a person is born in the city of their record by their biography
// too, and is old enough for the titles they are in; a sport or music title carries the genre its
// name says; a title page's text tells the summary its tiles and slider show, is not light and
// tense at once, and nests its quotes; sport, music, documentaries and programmes have people of
// their own kind; children's titles are for children and matches, concerts, documentaries and
// programmes for nearly everyone; the country is the one of the title's year; a title is added once it
// is made; an arena stands in one city; a director's page lists what they directed; and a one-line
// row tells each music title, and each match or race of one sport, from the others.
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
  const Named named[] = {{"29", ". Футбол", "Футбол"},
                         {"29", ". Хоккей", "Хоккей"},
                         {"29", ". Биатлон", "Биатлон"},
                         {"28", "Концерт в ", "Концерты"},
                         {"28", ". Клип группы «", "Клипы"}};
  std::map<std::string, const sampleservice::Person*> byName;
  for (const auto& p : catalogue().persons()) byName[p.fullname] = &p;
  std::map<std::string, std::set<std::string>> rows;  // by music, or by sport
  std::map<std::string, std::set<std::string>> arenaCities;
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
    EXPECT_FALSE(t.country == "Чехия" && year < 1993) << t.country;
    EXPECT_FALSE(t.country == "Германия" && year < 1990) << t.country;
    EXPECT_GE(std::stoi(t.added.substr(0, 4)), year) << "added " << t.added;
    for (const char* general : {"29", "28", "4", "3"})
      if (t.categoryId == general) {
        EXPECT_LE(std::stoi(t.ageFrom), 12) << "for nearly everyone";
      }
    if (t.categoryId == "29") {
      EXPECT_TRUE(t.title.ends_with(". " + t.genreName)) << "the sport after what tells the title apart";
      auto in = t.about.rfind(" в "), quote = t.about.rfind("«", in);
      ASSERT_NE(in, std::string::npos);
      ASSERT_NE(quote, std::string::npos);
      arenaCities[t.about.substr(quote, in - quote)].insert(t.about.substr(in));
    }
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
      auto listed = catalogue().titlesOfPerson(byName[name]->id);
      EXPECT_NE(std::find(listed.begin(), listed.end(), &t), listed.end()) << name << "'s page lists it";
    }
    // A programme named after its host has them first.
    const std::string with = " с ";
    if (auto at = t.title.find(with);
        at != std::string::npos && startsWithCapital(t.title.substr(at + with.size()))) {
      ASSERT_FALSE(t.cast.empty());
      for (const auto& part : words(catalogue().person(t.cast[0].personId)->fullname))
        EXPECT_NE(t.title.find(part.substr(0, part.size() - 2), at), std::string::npos) << part;
    }
    if (!isFiction(t) && t.categoryId != "6") expectPeopleOfItsKind(t);  // humour has its own below
    if (t.categoryId == "28" || t.categoryId == "29") {
      EXPECT_TRUE(rows[t.categoryId == "29" ? t.genreId : t.categoryId]
                      .insert(leadingCharacters(t.title, kPhoneRowCharacters))
                      .second)
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
  for (const auto& [arena, cities] : arenaCities) EXPECT_EQ(cities.size(), 1u) << arena;
}

// A cartoon or children's film is about the animal its name names, in its own words and never tense;
// a cartoon's people lend it their voices; humour is sketches or stand-up played by artists, not a
// story with film roles.
TEST(CatalogueTextTest, EachKindIsToldAsItsKind) {
  int children = 0, humour = 0;
  for (const auto& t : catalogue().titles()) {
    SCOPED_TRACE(t.id + ": " + t.title);
    if (t.categoryId == "31" || t.categoryId == "5") {
      // The hero's name in the title, without the ending of its case: "Тимоши" and "Тимоша" are "Тимош".
      auto name = words(t.title);
      std::string hero = name[0] == "Приключения" && name.size() > 2 ? name[2] : name[0];
      for (const char* ending : {"а", "ы", "и"})
        if (hero.ends_with(ending) && hero != "Угу") hero.resize(hero.size() - std::string(ending).size());
      EXPECT_NE(t.about.find(" " + hero), std::string::npos) << t.about;
      for (const auto& e : t.episodes) EXPECT_NE(e.about.find(" " + hero), std::string::npos) << e.about;
      EXPECT_EQ(t.description.find("апряжённ"), std::string::npos) << t.description;
      if (t.categoryId == "31") {
        for (const auto& entry : t.cast)
          EXPECT_TRUE(entry.role == "озвучивание" || entry.role == "голос за кадром") << entry.role;
      }
      ++children;
    } else if (t.categoryId == "6") {
      EXPECT_TRUE(t.about.starts_with(t.genreName + ": ")) << t.about;
      ASSERT_FALSE(t.cast.empty());
      for (const auto& entry : t.cast) {
        const std::set<std::string> roles = {"ведущий", "ведущая", "артист", "артистка", "комик"};
        EXPECT_TRUE(roles.count(entry.role)) << entry.role;
        const auto* p = catalogue().person(entry.personId);
        EXPECT_NE(t.description.find(p->fullname), std::string::npos) << p->fullname;
      }
      ++humour;
    }
  }
  EXPECT_EQ(children, 50);
  EXPECT_EQ(humour, 14);
}

}  // namespace
