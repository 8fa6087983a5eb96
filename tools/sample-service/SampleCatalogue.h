#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Foundation/Value.h"

namespace sampleservice {

struct Genre {
  std::string id, title;
};

struct Category {
  std::string id, title;
  std::string itemCategory;  // what an item of this category names as its category ("Фильм")
  std::vector<Genre> genres;
  int replyGroups = 3;  // groups of its get_category reply: genres, popular, new
};

struct CastEntry {
  std::string personId, role;
};

struct Episode {
  std::string id, title, about, rating;
  int number = 0;
};

struct Advert {
  std::string clip, advertiser;
};

struct Title {
  std::string id, categoryId, kind, title, about, description, genreId, genreName, year, country, rating,
      ageFrom, added;
  long popularity = 0;
  std::vector<std::string> directors;
  std::vector<CastEntry> cast;
  std::vector<Episode> episodes;  // a series' episodes by number
  std::optional<Advert> adv;
  bool noImage = false;
  bool numericId = false;  // lists send its id as a number
  bool noCast = false;      // its record has no "actors"
  bool noBigImage = false;  // its record's "image_big" is empty
  bool isSeries() const { return kind == "series"; }
};

// Optional texts are absent in some records, as they are in the real service's data.
struct Person {
  std::string id, fullname;
  std::optional<std::string> fullnameLatin, birthday, birthPlace, genres, description, biography;
  bool noPhoto = false;  // the record names no photograph
};

struct PosterEntry {
  std::string titleId;  // empty for a foreign link
  std::string backgroundColor;
  std::string promo, promoTitle, promoAbout;  // a foreign link's advertiser page and texts
};

// The sample catalogue, read once from the JSON files in a data folder and immutable afterwards,
// so the server's threads share it without locks.
class Catalogue {
 public:
  // Throws std::runtime_error naming the file and the fault when the data cannot be used.
  static Catalogue load(const std::string& folder);

  const std::vector<Category>& categories() const { return categories_; }
  const std::vector<Title>& titles() const { return titles_; }
  const std::vector<Person>& persons() const { return persons_; }
  const std::vector<PosterEntry>& posters() const { return posters_; }

  const Category* category(const std::string& id) const;
  const Title* title(const std::string& id) const;
  // The episode and its series.
  std::pair<const Title*, const Episode*> episode(const std::string& id) const;
  const Person* person(const std::string& id) const;
  // Titles a person appears in or directed, in catalogue order.
  std::vector<const Title*> titlesOfPerson(const std::string& personId) const;

 private:
  std::vector<Category> categories_;
  std::vector<Title> titles_;
  std::vector<Person> persons_;
  std::vector<PosterEntry> posters_;
  std::map<std::string, std::size_t> categoryIndex_, titleIndex_, personIndex_;
  std::map<std::string, std::pair<std::size_t, std::size_t>> episodeIndex_;
};

// The folder the build knows the catalogue in.
std::string defaultDataFolder();

}  // namespace sampleservice
