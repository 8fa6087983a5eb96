#!/usr/bin/env python3
"""Writes the sample catalogue (categories.json, titles.json, persons.json, posters.json) next to
this script. Every name, title and text is made up from the word lists below; a fixed seed keeps
the output the same on every run, so the files can be regenerated and diffed.

Usage: tools/sample-service/data/make-catalogue.py
"""
import argparse
import json
import os
import random

rng = random.Random(20130517)
HERE = os.path.dirname(os.path.abspath(__file__))

# id, menu title, the category text items carry, genres (id, name)
CATEGORIES = [
    ("1", "Фильмы", "Фильм", [("101", "Драма"), ("102", "Комедия"), ("103", "Детектив"), ("104", "Приключения"),
                              ("105", "Мелодрама"), ("106", "Фантастика")]),
    ("2", "Сериалы", "Сериал", [("201", "Драма"), ("202", "Детектив"), ("203", "Комедия"), ("204", "Исторический")]),
    ("3", "Телепередачи", "Телепередача", [("301", "Ток-шоу"), ("302", "Кулинария"), ("303", "Путешествия")]),
    ("31", "Мультфильмы", "Мультфильм", [("311", "Полнометражные"), ("312", "Короткометражные"), ("313", "Сказки")]),
    ("29", "Спорт", "Спорт", [("291", "Футбол"), ("292", "Хоккей"), ("293", "Биатлон")]),
    ("28", "Музыка", "Музыка", [("281", "Концерты"), ("282", "Клипы")]),
    ("4", "Документальное кино", "Документальный фильм", [("401", "Природа"), ("402", "История"), ("403", "Наука")]),
    ("5", "Детское кино", "Детский фильм", [("501", "Семейный"), ("502", "Приключения")]),
    ("6", "Юмор", "Юмор", [("601", "Скетчи"), ("602", "Стендап")]),
    ("7", "Театр", "Спектакль", [("701", "Драма"), ("702", "Комедия")]),
]

ADJ = [  # masculine, feminine, neuter, plural
    ("Тихий", "Тихая", "Тихое", "Тихие"), ("Северный", "Северная", "Северное", "Северные"),
    ("Последний", "Последняя", "Последнее", "Последние"), ("Долгий", "Долгая", "Долгое", "Долгие"),
    ("Белый", "Белая", "Белое", "Белые"), ("Зимний", "Зимняя", "Зимнее", "Зимние"),
    ("Старый", "Старая", "Старое", "Старые"), ("Далёкий", "Далёкая", "Далёкое", "Далёкие"),
    ("Ночной", "Ночная", "Ночное", "Ночные"), ("Золотой", "Золотая", "Золотое", "Золотые"),
    ("Лунный", "Лунная", "Лунное", "Лунные"), ("Случайный", "Случайная", "Случайное", "Случайные"),
    ("Шумный", "Шумная", "Шумное", "Шумные"), ("Янтарный", "Янтарная", "Янтарное", "Янтарные"),
    ("Чужой", "Чужая", "Чужое", "Чужие"), ("Летний", "Летняя", "Летнее", "Летние"),
]
NOUNS = [("берег", 0), ("гавань", 1), ("рейс", 0), ("дорога", 1), ("лето", 2), ("город", 0), ("звезда", 1),
         ("окно", 2), ("остров", 0), ("река", 1), ("небо", 2), ("маяк", 0), ("тропа", 1), ("озеро", 2),
         ("ветер", 0), ("граница", 1), ("письмо", 2), ("поезд", 0), ("улица", 1), ("утро", 2), ("сад", 0),
         ("пристань", 1), ("зеркало", 2), ("перевал", 0), ("весна", 1)]
HEADS = ["Тайна", "Легенда", "Хроники", "Тень", "Песня", "Дом", "Возвращение", "Дневник", "Ключ", "Секрет",
         "Пленники", "Свет"]
GENITIVES = ["старого маяка", "северного ветра", "синей реки", "белой совы", "забытого города", "лунного сада",
             "ночного поезда", "дальней пристани", "горного перевала", "тихой улицы", "янтарного берега",
             "последнего лета"]
# The animal and its name after "Приключения", the name alone, and the animal alone.
ANIMALS = [("ежа", "Тимоши", "Тимоша", "ёжик"), ("кота", "Мурзика", "Мурзик", "кот"),
           ("лисёнка", "Рыжика", "Рыжик", "лисёнок"), ("медвежонка", "Топы", "Топа", "медвежонок"),
           ("зайца", "Прыга", "Прыг", "заяц"), ("совёнка", "Угу", "Угу", "совёнок"),
           ("бобра", "Бобы", "Боба", "бобёр"), ("енота", "Полоскуна", "Полоскун", "енот")]
CARTOON_PLACES = ["в лесу", "на море", "в городе", "зимой", "в горах", "на Луне", "в саду"]
TEAMS = ["Заречье", "Северсталь-2", "Метеор", "Ладога", "Звезда Урала", "Прибой", "Енисейские волки", "Буревестник"]
BANDS = ["Северный ветер", "Лунный сад", "Белая сова", "Дальняя пристань", "Тихая гавань", "Янтарный берег"]
CITIES = ["Казани", "Самаре", "Твери", "Вологде", "Пскове", "Томске", "Сочи", "Калуге"]
COUNTRIES = ["Россия", "Россия", "Россия", "СССР", "Франция", "Италия", "Германия", "Испания", "Чехия", "Польша"]

MALE = ["Алексей", "Борис", "Виктор", "Глеб", "Денис", "Егор", "Иван", "Кирилл", "Лев", "Матвей", "Никита",
        "Олег", "Павел", "Роман", "Степан", "Тимур", "Фёдор", "Юрий", "Ярослав", "Аркадий"]
FEMALE = ["Анна", "Вера", "Галина", "Дарья", "Евгения", "Жанна", "Зоя", "Ирина", "Ксения", "Лидия", "Марина",
          "Нина", "Ольга", "Полина", "Софья", "Таисия", "Ульяна", "Юлия"]
SURNAMES = ["Соколов", "Белозёров", "Ветров", "Гладков", "Дроздов", "Журавлёв", "Зимин", "Клёнов", "Лесков",
            "Мирошин", "Незнамов", "Осинцев", "Пташкин", "Ручьёв", "Сизов", "Тополев", "Уклеин", "Фонарёв",
            "Холмогоров", "Чернотал", "Шувалкин", "Ясенев", "Брусникин", "Камышев", "Лазарев", "Овсянников"]
BIRTH_PLACES = ["Москва, Россия", "Санкт-Петербург, Россия", "Казань, Россия", "Самара, Россия",
                "Вологда, Россия", "Томск, Россия", "Минск, Белоруссия", "Рига, Латвия", "Одесса, Украина"]
# The cities above after "в".
IN_CITY = {"Москва": "Москве", "Санкт-Петербург": "Санкт-Петербурге", "Казань": "Казани", "Самара": "Самаре",
           "Вологда": "Вологде", "Томск": "Томске", "Минск": "Минске", "Рига": "Риге", "Одесса": "Одессе"}
MONTHS = ["января", "февраля", "марта", "апреля", "мая", "июня", "июля", "августа", "сентября", "октября",
          "ноября", "декабря"]
ROLES = ["главная роль", "роль второго плана", "эпизод", "камео", "голос за кадром"]

TRANSLIT = {"а": "a", "б": "b", "в": "v", "г": "g", "д": "d", "е": "e", "ё": "yo", "ж": "zh", "з": "z",
            "и": "i", "й": "y", "к": "k", "л": "l", "м": "m", "н": "n", "о": "o", "п": "p", "р": "r", "с": "s",
            "т": "t", "у": "u", "ф": "f", "х": "kh", "ц": "ts", "ч": "ch", "ш": "sh", "щ": "shch", "ъ": "",
            "ы": "y", "ь": "", "э": "e", "ю": "yu", "я": "ya"}


def latin(text):
    out = []
    for ch in text:
        low = ch.lower()
        if low in TRANSLIT:
            t = TRANSLIT[low]
            out.append(t.capitalize() if ch != low else t)
        else:
            out.append(ch)
    return "".join(out)


used_titles = set()


def unique(make):
    for _ in range(1000):
        t = make()
        if t not in used_titles:
            used_titles.add(t)
            return t
    raise RuntimeError("ran out of titles")


def drama_title():
    form = rng.random()
    if form < 0.45:
        noun, gender = rng.choice(NOUNS)
        return f"{rng.choice(ADJ)[gender]} {noun}"
    if form < 0.85:
        return f"{rng.choice(HEADS)} {rng.choice(GENITIVES)}"
    a, b = rng.sample(NOUNS, 2)
    return f"{a[0].capitalize()} и {b[0]}"


def cartoon_title():
    animal, name_gen, name, _ = rng.choice(ANIMALS)
    if rng.random() < 0.6:
        return f"Приключения {animal} {name_gen}"
    return f"{name} {rng.choice(CARTOON_PLACES)}"


def tv_title():
    if rng.random() < 0.4:
        return rng.choice(["Вечер с ", "Утро с ", "Суббота с "]) + rng.choice(
            ["Глебом Ветровым", "Ириной Клёновой", "друзьями", "соседями", "Зоей Камышевой"])
    return rng.choice(["Кухня ", "Дороги ", "Неделя ", "Вкус ", "Голоса "]) + rng.choice(
        ["севера", "юга", "выходного дня", "большого города", "Поволжья", "Сибири", "мастера"])


def sport_title():
    # What tells one title from the next comes first, the sport last: the teams of a match, the stage
    # and the race of a biathlon round.
    kind = rng.random()
    if kind < 0.4:
        a, b = rng.sample(TEAMS, 2)
        return f"{a} — {b}. Хоккей"
    if kind < 0.75:
        a, b = rng.sample(TEAMS, 2)
        return f"{a} — {b}. Футбол"
    race = rng.choice(['Спринт', 'Гонка преследования', 'Масс-старт', 'Эстафета'])
    return f"Этап {rng.randint(1, 9)}. {race}. Биатлон"


def music_title():
    # What tells one title from the next comes first: a phone row holds one line. The band is drawn
    # before the city or the song, which keeps the generator's sequence.
    concert = rng.random() < 0.6
    band = rng.choice(BANDS)
    if concert:
        return f"Концерт в {rng.choice(CITIES)}. {band}"
    return f"{drama_title()}. Клип группы «{band}»"


def doc_title():
    return f"{rng.choice(['Реки', 'Леса', 'Острова', 'Города', 'Маяки', 'Мосты', 'Звёзды'])} " + rng.choice(
        ["севера", "Поволжья", "Сибири", "Карелии", "Алтая", "Камчатки", "Урала", "Приморья"])


# Sport and music titles name their genre: the sport after the last full stop, a concert or a clip.
NAMED_GENRES = {"29": [(". Футбол", "291"), (". Хоккей", "292"), (". Биатлон", "293")],
                "28": [("Концерт в ", "281"), (". Клип группы «", "282")]}


def named_genre(cid, name, genres):
    """The (id, name) of the genre the title's name names, or None where it names none."""
    for mark, genre_id in NAMED_GENRES.get(cid, []):
        if mark in name:
            return next(g for g in genres if g[0] == genre_id)
    return None


MAKERS = {"1": drama_title, "2": drama_title, "3": tv_title, "31": cartoon_title, "29": sport_title,
          "28": music_title, "4": doc_title, "5": cartoon_title, "6": tv_title, "7": drama_title}
COUNTS = {"1": 80, "2": 24, "3": 22, "31": 36, "29": 22, "28": 20, "4": 18, "5": 14, "6": 14, "7": 12}
AGES = ["0", "6", "12", "16", "18"]

ABOUT_OPENINGS = ["История о том, как", "Рассказ о том, как", "Фильм о том, как", "Лёгкая история о том, как"]
# Who the story is about, and whether the verb after it takes the plural.
ABOUT_SUBJECTS = [("молодой учитель", False), ("старый смотритель маяка", False), ("две сестры", True),
                  ("отставной следователь", False), ("бригада строителей", False), ("юная скрипачка", False),
                  ("семья из маленького города", False), ("капитан речного трамвая", False),
                  ("друзья детства", True), ("начинающий повар", False)]
# What they do, in the singular and in the plural.
ABOUT_ACTIONS = [("ищет пропавшее письмо", "ищут пропавшее письмо"),
                 ("возвращается в родной город", "возвращаются в родной город"),
                 ("готовится к главному дню в жизни", "готовятся к главному дню в жизни"),
                 ("пытается сохранить старый дом", "пытаются сохранить старый дом"),
                 ("отправляется в долгое путешествие", "отправляются в долгое путешествие"),
                 ("раскрывает семейную тайну", "раскрывают семейную тайну"),
                 ("учится не бояться перемен", "учатся не бояться перемен"),
                 ("спасает городской праздник", "спасают городской праздник")]


def about():
    opening = rng.choice(ABOUT_OPENINGS)
    subject, plural = rng.choice(ABOUT_SUBJECTS)
    action = rng.choice(ABOUT_ACTIONS)[1 if plural else 0]
    return f"{opening} {subject} {action}."


def long_description(title, summary):
    """The title page's text for a record: its name and its own summary, then a line on its style."""
    # Two summaries are drawn and left unused, which keeps the generator's sequence, and so every
    # record after this one, as it is.
    about()
    about()
    style = rng.choice(['Тёплая и честная', 'Неторопливая', 'Остроумная', 'Напряжённая'])
    # A light story is not tense a sentence later.
    if summary.startswith("Лёгкая") and style == "Напряжённая":
        style = "Остроумная"
    return (f"{quoted(title)} — {summary[0].lower()}{summary[1:]} {style} "
            f"история с {rng.choice(['красивыми пейзажами', 'живыми диалогами', 'неожиданным финалом', 'хорошей музыкой'])}.")


def quoted(text):
    """The text in «», quotes within it turned to „“ as Russian typography nests them."""
    return "«" + text.replace("«", "„").replace("»", "“") + "»"


def make_persons():
    persons = []
    names = set()
    pid = 3001
    while len(persons) < 80:
        female = rng.random() < 0.45
        first = rng.choice(FEMALE if female else MALE)
        surname = rng.choice(SURNAMES)
        if female:
            if surname.endswith(("ов", "ёв", "ев", "ин")):
                surname += "а"
        full = f"{first} {surname}"
        if full in names:
            continue
        names.add(full)
        p = {"id": str(pid), "fullname": full, "fullname_latin": latin(full),
             "birthday": f"{rng.randint(1, 28)} {rng.choice(MONTHS)} {rng.randint(1940, 1995)}",
             "birth_place": rng.choice(BIRTH_PLACES),
             "genres": ", ".join(rng.sample(["Драма", "Комедия", "Детектив", "Мелодрама", "Приключения"], 2)),
             "description": f"{'Актриса' if female else 'Актёр'} театра и кино."}
        # The biography tells the record's birthplace; one more place is drawn and left unused,
        # which keeps the generator's sequence, and so every record after this one, as it is.
        rng.choice(BIRTH_PLACES)
        p["biography"] = (f"{'Родилась' if female else 'Родился'} в {IN_CITY[p['birth_place'].split(',')[0]]}. "
                          f"{'Окончила' if female else 'Окончил'} театральное училище, "
                          f"{'служила' if female else 'служил'} в {rng.choice(['драматическом', 'молодёжном', 'городском'])} театре.")
        p["female"] = female
        # A few records lack parts, as real ones do.
        if pid % 11 == 0:
            del p["fullname_latin"]
        if pid % 13 == 0:
            del p["biography"]
        if pid % 17 == 0:
            p["description"] = ""
        persons.append(p)
        pid += 1
    for p in persons:
        del p["female"]
    return persons


def add_quirks(categories, titles, persons, next_episode_id):
    """What the rows must cope with, added after the data above with a generator of its own so that
    the records above stay as they were."""
    quirk_rng = random.Random(20130601)
    # The service sends the category's "new" group only where it has one: this category's reply
    # stops after "Популярное".
    next(c for c in categories if c["id"] == "7")["reply_groups"] = 2
    # Lists send some ids as numbers instead of text: the second most popular title of each category.
    for category in categories:
        ranked = sorted((t for t in titles if t["category_id"] == category["id"]),
                        key=lambda t: t["popularity"], reverse=True)
        if len(ranked) > 1:
            ranked[1]["numeric_id"] = True
    # A film whose record lists no persons, and one whose big poster address is empty.
    films = [t for t in titles if t["category_id"] == "1" and t["kind"] == "film" and "adv" not in t]
    films[1]["no_cast"] = True
    films[2]["no_big_image"] = True
    # A long-running series, whose episode row is long enough to be built in the background.
    name = "Хроники янтарного берега"
    used_titles.add(name)
    genre_id, genre_name = CATEGORIES[1][3][0]
    episodes = [{"id": str(next_episode_id + n), "number": n + 1, "title": f"Серия {n + 1}",
                 "about": about(), "rating": str(quirk_rng.randint(1, 10))} for n in range(52)]
    summary = about()
    titles.append({"id": str(int(titles[-1]["id"]) + 1), "category_id": "2", "kind": "series", "title": name,
                   "about": summary, "description": long_description(name, summary), "genre_id": genre_id,
                   "genre_name": genre_name, "year": "2013", "country": "Россия", "rating": "8",
                   "age_from": "12", "popularity": 99999, "added": "2014-12-28",
                   "directors": [quirk_rng.choice(persons)["fullname"]],
                   "cast": [{"person": p["id"], "role": quirk_rng.choice(ROLES)}
                            for p in quirk_rng.sample(persons, 5)],
                   "episodes": episodes})
    # Persons the person page must cope with: one whose record carries no photograph, one who
    # plays in nothing. Neither is cast, so the titles above stay as they were.
    persons.append({"id": "3901", "fullname": "Артём Безфотов", "fullname_latin": "Artyom Bezfotov",
                    "birthday": "2 марта 1980", "birth_place": "Самара, Россия", "genres": "Драма, Комедия",
                    "description": "Актёр театра и кино.", "no_photo": True})
    persons.append({"id": "3902", "fullname": "Вера Безролева", "fullname_latin": "Vera Bezroleva",
                    "birthday": "11 мая 1991", "birth_place": "Томск, Россия", "genres": "Мелодрама, Драма",
                    "description": "Актриса театра.",
                    "biography": "Родилась в Томске. Играет в молодёжном театре."})


# People act from this age and direct from the next.
MIN_CAST_AGE = 16
MIN_DIRECTOR_AGE = 20
# The categories that tell stories, with their roles; sport, music, documentaries and programmes
# have people of their own kind.
FICTION_CATEGORIES = ("1", "2", "31", "5", "6", "7")
INSTRUMENTS = ["вокал", "гитара", "клавишные", "ударные", "бас-гитара"]
# The programme hosts the names of some programmes name, after "с".
NAMED_HOSTS = {"Глебом Ветровым": ("Глеб Ветров", False), "Ириной Клёновой": ("Ирина Клёнова", True),
               "Зоей Камышевой": ("Зоя Камышева", True)}
# Each venue with the one city it stands in.
VENUES = {"Хоккей": [("ледовой арене «Кристалл»", "Казани"), ("ледовом дворце «Айсберг»", "Твери"),
                     ("арене «Полярная»", "Вологде")],
          "Футбол": [("стадионе «Труд»", "Самаре"), ("стадионе «Центральный»", "Калуге"),
                     ("стадионе «Юность»", "Пскове")],
          "Биатлон": [("лыжный стадион «Снежинка»", "Сочи"), ("биатлонный комплекс «Кедр»", "Томске")]}
DOC_SUBJECTS = {"Реки": "о реках", "Леса": "о лесах", "Острова": "об островах", "Города": "о городах",
                "Маяки": "о маяках", "Мосты": "о мостах", "Звёзды": "о звёздном небе"}
DOC_CLOSINGS = {"Природа": "Съёмки в заповедных местах в разные времена года.",
                "История": "Архивные кадры и рассказы старожилов.",
                "Наука": "Учёные объясняют, как устроен этот край."}
TV_GENRES = [(("Кухня ", "Вкус "), "302"), (("Дороги ",), "303")]
TV_ABOUTS = {"Ток-шоу": ["Ток-шоу: гости в студии говорят о работе и доме.",
                         "Ток-шоу: гости в студии говорят о книгах и кино.",
                         "Ток-шоу: гости в студии говорят о переменах в жизни."],
             "Кулинария": ["Кулинарная программа: рецепты из разных уголков страны.",
                           "Кулинарная программа: блюда из простых продуктов.",
                           "Кулинарная программа: гости готовят блюда своего детства."],
             "Путешествия": ["Программа о путешествиях: города и сёла вдоль большой реки.",
                             "Программа о путешествиях: дороги, которых нет на карте.",
                             "Программа о путешествиях: места, куда едут на выходные."]}


def birth_year(person):
    return int(person["birthday"].split()[-1])


def lower_first(text):
    return text[0].lower() + text[1:]


class Staff:
    """The people of sport, music, documentaries and programmes: records of their own kind, each born
    long enough before the first title they are in."""

    def __init__(self, prng, taken_names, first_id):
        self.rng = prng
        self.taken = set(taken_names)
        self.next_id = first_id
        self.people = []

    def add(self, kind, female=None, fullname=None, band=None):
        if fullname is None:
            while True:
                female = self.rng.random() < 0.4
                surname = self.rng.choice(SURNAMES)
                if female and surname.endswith(("ов", "ёв", "ев", "ин")):
                    surname += "а"
                fullname = f"{self.rng.choice(FEMALE if female else MALE)} {surname}"
                if fullname not in self.taken:
                    break
        self.taken.add(fullname)
        person = {"id": str(self.next_id), "fullname": fullname, "female": female, "kind": kind, "band": band,
                  "years": []}
        self.next_id += 1
        self.people.append(person)
        return person

    def ids(self):
        return {p["id"] for p in self.people}

    def cast(self, person, role, year):
        person["years"].append(year)
        return {"person": person["id"], "role": role}

    def records(self):
        # Years before the first title: (least, most) for each kind.
        lead = {"commentator": (25, 40), "musician": (19, 28), "author": (27, 45), "host": (24, 40)}
        out = []
        for p in self.people:
            female = p["female"]
            low, high = lead[p["kind"]]
            born = min(p["years"] or [1990]) - self.rng.randint(low, high)
            place = self.rng.choice(BIRTH_PLACES)
            graduated = "Окончила" if female else "Окончил"
            description, genres, tail = {
                "commentator": ("Спортивный комментатор.", "Футбол, Хоккей, Биатлон",
                                f"{graduated} факультет журналистики, комментирует футбол, хоккей и биатлон."),
                "musician": (f"Музыкант группы «{p['band']}».", "Концерты, Клипы",
                             f"{graduated} музыкальное училище, играет в группе «{p['band']}»."),
                "author": ("Режиссёр документального кино.", "Природа, История, Наука",
                           f"{graduated} институт кинематографии, снимает документальные фильмы."),
                "host": ("Телеведущая." if female else "Телеведущий.", "Ток-шоу, Кулинария, Путешествия",
                         f"{graduated} факультет журналистики, ведёт программы на телевидении."),
            }[p["kind"]]
            out.append({"id": p["id"], "fullname": p["fullname"], "fullname_latin": latin(p["fullname"]),
                        "birthday": f"{self.rng.randint(1, 28)} {self.rng.choice(MONTHS)} {born}",
                        "birth_place": place, "genres": genres, "description": description,
                        "biography": f"{'Родилась' if female else 'Родился'} в {IN_CITY[place.split(',')[0]]}. {tail}"})
        return out


def agree(categories, titles, persons):
    """Makes each record tell one story: people old enough for their titles, sport, music,
    documentaries and programmes told with people of their own kind, ratings and countries that
    fit. A generator of its own keeps the records' other values as they were."""
    prng = random.Random(20130701)
    actors = [p for p in persons if p["id"] not in ("3901", "3902")]  # those two are cast nowhere
    by_id, by_name = {p["id"]: p for p in actors}, {p["fullname"]: p for p in actors}
    staff = Staff(prng, [p["fullname"] for p in persons], 3101)
    commentators = [staff.add("commentator") for _ in range(4)]
    bands = {band: [staff.add("musician", band=band) for _ in range(3)] for band in BANDS}
    authors = [staff.add("author") for _ in range(5)]
    hosts = {key: staff.add("host", female, name) for key, (name, female) in NAMED_HOSTS.items()}
    other_hosts = [staff.add("host") for _ in range(4)]
    genre_names = {g["id"]: g["title"] for c in categories for g in c["genres"]}

    def eligible(year, age, besides):
        return [p for p in actors if birth_year(p) <= year - age and p["id"] not in besides]

    for t in titles:
        cid, name, year = t["category_id"], t["title"], int(t["year"])
        if t["country"] in ("СССР", "Россия") or cid not in FICTION_CATEGORIES:
            t["country"] = "СССР" if year <= 1991 else "Россия"
        if cid in ("31", "5") and int(t["age_from"]) > 12:
            t["age_from"] = prng.choice(["0", "6", "12"])
        closing = None
        if cid == "29":
            rest, sport = name.rsplit(". ", 1)
            # A city is drawn and left unused, which keeps the generator's sequence: the venue has its own.
            prng.choice(CITIES)
            venue, city = prng.choice(VENUES[sport])
            if sport == "Биатлон":
                stage, race = rest.split(". ")
                t["about"] = f"{race} на {stage.split()[-1]}-м этапе кубка сезона: {venue} в {city}."
            else:
                home, away = rest.split(" — ")
                t["about"] = f"Матч команд «{home}» и «{away}» на {venue} в {city}."
            voices = prng.sample(commentators, prng.choice([0, 1, 1, 2]))
            t["cast"] = [staff.cast(p, "комментатор", year) for p in voices]
            t["directors"] = []
            names = [p["fullname"] for p in voices]
            closing = (f"Комментируют {names[0]} и {names[1]}." if len(names) == 2 else
                       f"Комментирует {names[0]}." if names else "Трансляция без комментатора.")
        elif cid == "28":
            if name.startswith("Концерт в "):
                place, band = name[len("Концерт в "):].split(". ", 1)
                t["about"] = f"Концерт группы «{band}» в {place}."
                closing = prng.choice(["Живая запись из зала.", "В программе — песни разных лет.",
                                       "Новая программа группы и её первые песни."])
            else:
                song, band = name.split(". Клип группы «")
                band = band.rstrip("»")
                t["about"] = f"Клип группы «{band}» на песню «{song}»."
                closing = prng.choice(["Снят за один день на улицах города.", "Снят на плёнку, в чёрно-белом цвете.",
                                       "Снят на берегу моря ранней весной."])
            t["cast"] = [staff.cast(p, role, year) for p, role in zip(bands[band], INSTRUMENTS)]
            t["directors"] = []
        elif cid == "4":
            head, region = name.split(" ", 1)
            author = prng.choice(authors)
            t["about"] = f"Документальный фильм {DOC_SUBJECTS[head]} {region}."
            t["directors"] = [author["fullname"]]
            t["cast"] = [staff.cast(author, "автор фильма", year)]
            if prng.random() < 0.5:
                narrator = prng.choice(eligible(year, MIN_CAST_AGE, ()))
                t["cast"].append({"person": narrator["id"], "role": "голос за кадром"})
            closing = f"{DOC_CLOSINGS[t['genre_name']]} Автор фильма — {author['fullname']}."
        elif cid == "3":
            t["genre_id"] = next((g for marks, g in TV_GENRES if name.startswith(marks)), "301")
            t["genre_name"] = genre_names[t["genre_id"]]
            named = next((h for key, h in hosts.items() if name.endswith(key)), None)
            host = named or prng.choice(other_hosts)
            role = "ведущая" if host["female"] else "ведущий"
            t["about"] = prng.choice(TV_ABOUTS[t["genre_name"]])
            t["cast"] = [staff.cast(host, role, year)]
            t["directors"] = []
            closing = f"{role.capitalize()} — {host['fullname']}."
            for e in t.get("episodes", []):
                e["title"] = f"Выпуск {e['number']}"
                e["about"] = prng.choice(TV_ABOUTS[t["genre_name"]])
        else:
            cast = t["cast"]
            # A humour show named after its host has the host first.
            named = next((h for key, h in hosts.items() if name.endswith(key)), None)
            if named:
                cast[0] = staff.cast(named, "ведущая" if named["female"] else "ведущий", year)
            for entry in cast:
                if entry["person"] in staff.ids():
                    continue
                if birth_year(by_id[entry["person"]]) > year - MIN_CAST_AGE:
                    entry["person"] = prng.choice(eligible(year, MIN_CAST_AGE, [e["person"] for e in cast]))["id"]
            directors = t["directors"]
            for i, director in enumerate(directors):
                if birth_year(by_name[director]) > year - MIN_DIRECTOR_AGE:
                    others = [by_name[d]["id"] for d in directors]
                    directors[i] = prng.choice(eligible(year, MIN_DIRECTOR_AGE, others))["fullname"]
        if closing:
            t["description"] = f"{quoted(name)} — {lower_first(t['about'])} {closing}"
    persons.extend(staff.records())


# How a series, its episodes and a play name themselves where a summary would say "Фильм".
KIND_WORDS = {"2": ("Сериал", "Серия"), "7": ("Спектакль", "Спектакль")}
# Cartoons and children's films are told about their animal hero, in their own words.
CHILDREN_OPENINGS = {"31": ["Мультфильм о том, как", "Сказка о том, как", "Весёлая история о том, как",
                            "История о том, как"],
                     "5": ["Фильм о том, как", "Добрая история о том, как", "Весёлая история о том, как",
                           "История о том, как"]}
CHILDREN_ACTIONS = [("ищет дорогу домой", "ищут дорогу домой"), ("находит нового друга", "находят нового друга"),
                    ("спасает лесной праздник", "спасают лесной праздник"), ("учится плавать", "учатся плавать"),
                    ("строит дом на дереве", "строят дом на дереве"), ("ищет спрятанный клад", "ищут спрятанный клад"),
                    ("готовит подарок к Новому году", "готовят подарок к Новому году"),
                    ("отправляется в далёкое путешествие", "отправляются в далёкое путешествие")]
CHILDREN_STYLES = ["Добрая", "Весёлая", "Тёплая", "Смешная"]
CHILDREN_TAILS = ["хорошей музыкой", "весёлыми песнями", "добрым финалом", "забавными героями"]
# Humour is sketches or stand-up, played or performed, not a story with film roles.
HUMOUR_ABOUTS = {"Скетчи": ["Скетчи: смешные сценки из жизни большого города.",
                            "Скетчи: соседи, родственники и начальники в смешных сценках.",
                            "Скетчи: смешные сценки о дороге на работу и обратно.",
                            "Скетчи: смешные сценки о дачной жизни."],
                 "Стендап": ["Стендап: комики рассказывают о детстве и школе.",
                             "Стендап: комики рассказывают о работе и отпуске.",
                             "Стендап: комики рассказывают о семье и соседях."]}
# Matches, concerts, documentaries and programmes are for everyone or nearly.
GENERAL_AUDIENCE = ("29", "28", "4", "3")
# Countries by the name they had in the title's year: (country, first year of the name, the name before).
FORMER_NAMES = [("Чехия", 1993, "Чехословакия"), ("Германия", 1990, "ФРГ")]


def joined(names):
    return names[0] if len(names) == 1 else f"{', '.join(names[:-1])} и {names[-1]}"


def children_hero(title):
    """The animal hero a cartoon's or children's film's name names: "ёжик Тимоша"."""
    words = title.split()
    for _, name_gen, name, animal in ANIMALS:
        if (words[0] == "Приключения" and words[2] == name_gen) or words[0] == name:
            return f"{animal} {name}"
    raise RuntimeError(f"no hero in {title}")


def children_about(prng, category_id, hero):
    opening = prng.choice(CHILDREN_OPENINGS[category_id])
    plural = prng.random() < 0.3
    action = prng.choice(CHILDREN_ACTIONS)[1 if plural else 0]
    return f"{opening} {hero}{' и его друзья' if plural else ''} {action}."


def tell_kinds(titles, persons):
    """Tells each kind as its kind: children's titles about their hero and never tense, humour as
    sketches or stand-up, series and plays as themselves, general audiences for matches, concerts,
    documentaries and programmes, a title added once it was made, countries by the name of their
    year. A generator of its own keeps the records' other values as they were."""
    prng = random.Random(20130801)
    female = {p["id"]: p["fullname"].split()[0] in FEMALE for p in persons}
    names = {p["id"]: p["fullname"] for p in persons}
    for t in titles:
        cid, year = t["category_id"], int(t["year"])
        if cid in KIND_WORDS:
            word, episode_word = KIND_WORDS[cid]
            if t["about"].startswith("Фильм о том"):
                t["about"] = word + t["about"][len("Фильм"):]
                t["description"] = t["description"].replace(" — фильм о том", f" — {word.lower()} о том", 1)
            for e in t.get("episodes", []):
                if e["about"].startswith("Фильм о том"):
                    e["about"] = episode_word + e["about"][len("Фильм"):]
        elif cid in CHILDREN_OPENINGS:
            hero = children_hero(t["title"])
            t["about"] = children_about(prng, cid, hero)
            t["description"] = (f"{quoted(t['title'])} — {lower_first(t['about'])} {prng.choice(CHILDREN_STYLES)} "
                                f"история с {prng.choice(CHILDREN_TAILS)}.")
            for e in t.get("episodes", []):
                e["about"] = children_about(prng, cid, hero)
            if cid == "31":
                # A cartoon's people give it their voices.
                for entry in t["cast"]:
                    if entry["role"] != "голос за кадром":
                        entry["role"] = "озвучивание"
        elif cid == "6":
            t["about"] = prng.choice(HUMOUR_ABOUTS[t["genre_name"]])
            hosting = [e for e in t["cast"] if e["role"] in ("ведущий", "ведущая")]
            performers = [e for e in t["cast"] if e not in hosting]
            for entry in performers:
                entry["role"] = ("комик" if t["genre_name"] == "Стендап" else
                                 "артистка" if female[entry["person"]] else "артист")
            closing = [f"{e['role'].capitalize()} — {names[e['person']]}." for e in hosting]
            if performers:
                verb = "Выступа" if t["genre_name"] == "Стендап" else "Игра"
                closing.append(f"{verb}{'ют' if len(performers) > 1 else 'ет'} "
                               f"{joined([names[e['person']] for e in performers])}.")
            t["description"] = f"{quoted(t['title'])} — {lower_first(t['about'])} {' '.join(closing)}"
        if cid in GENERAL_AUDIENCE and int(t["age_from"]) > 12:
            t["age_from"] = prng.choice(["0", "6", "12"])
        if int(t["added"][:4]) < year:
            t["added"] = f"{prng.randint(year, 2014)}-{prng.randint(1, 12):02d}-{prng.randint(1, 28):02d}"
        for country, since, before in FORMER_NAMES:
            if t["country"] == country and year < since:
                t["country"] = before


def main():
    persons = make_persons()
    person_ids = [p["id"] for p in persons]
    titles = []
    tid = 1001
    eid = 50001
    for cid, _, _, genres in CATEGORIES:
        for n in range(COUNTS[cid]):
            genre_id, genre_name = rng.choice(genres)
            name = unique(MAKERS[cid])
            genre_id, genre_name = named_genre(cid, name, genres) or (genre_id, genre_name)
            year = rng.randint(1965, 2014) if cid not in ("29",) else rng.randint(2010, 2014)
            summary = about()
            t = {"id": str(tid), "category_id": cid, "kind": "film", "title": name, "about": summary,
                 "description": long_description(name, summary), "genre_id": genre_id, "genre_name": genre_name,
                 "year": str(year), "country": rng.choice(COUNTRIES), "rating": str(rng.randint(1, 10)),
                 "age_from": rng.choice(AGES), "popularity": rng.randint(1, 100000),
                 "added": f"{rng.randint(2010, 2014)}-{rng.randint(1, 12):02d}-{rng.randint(1, 28):02d}",
                 "directors": [rng.choice(persons)["fullname"] for _ in range(rng.choice([1, 1, 1, 2]))],
                 "cast": [{"person": pid, "role": rng.choice(ROLES)} for pid in rng.sample(person_ids, rng.randint(2, 6))]}
            if cid in ("2",) or (cid == "3" and n < 4) or (cid == "31" and n < 3):
                t["kind"] = "series"
                episodes = []
                for number in range(1, rng.randint(4, 10) + 1):
                    episodes.append({"id": str(eid), "number": number, "title": f"Серия {number}",
                                     "about": about(), "rating": str(rng.randint(1, 10))})
                    eid += 1
                t["episodes"] = episodes
            if n % 9 == 4:
                t["no_image"] = True  # the search reply sends a null image for these
            titles.append(t)
            tid += 1
    # One film carries an advertising clip before the programme.
    titles[2]["adv"] = {"clip": "adv1", "advertiser": "1"}
    featured = [t for t in titles if t["category_id"] in ("1", "2", "31")][:11]
    posters = [{"title_id": t["id"], "background_color": "#%02X%02X%02X" % (rng.randint(0, 90), rng.randint(0, 90),
                                                                           rng.randint(0, 90))} for t in featured]
    posters.insert(3, {"foreign_link": {"promo": "1", "title": "Кинофестиваль «Янтарный берег»",
                                        "about": "Лучшие фильмы фестиваля — только в нашем каталоге"},
                       "background_color": "#3A1F0B"})
    categories = [{"id": c[0], "title": c[1], "item_category": c[2],
                   "genres": [{"id": g[0], "title": g[1]} for g in c[3]]} for c in CATEGORIES]
    add_quirks(categories, titles, persons, eid)
    agree(categories, titles, persons)
    tell_kinds(titles, persons)
    out = {"categories.json": categories,
           "titles.json": titles, "persons.json": persons, "posters.json": posters}
    for name, value in out.items():
        with open(os.path.join(HERE, name), "w", encoding="utf-8") as f:
            json.dump(value, f, ensure_ascii=False, indent=1)
            f.write("\n")


if __name__ == "__main__":
    argparse.ArgumentParser(description="Writes the sample catalogue next to this script.").parse_args()
    main()
