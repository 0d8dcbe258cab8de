#!/usr/bin/env python3
"""Writes the test pronunciation dictionary (DtC6dal.dat) and aligned lexicon (DtC6dl.dat).

Both files use the engine's line encoding: every byte XOR-ed with the key kLineCodecKey from
engine/recognizer/line_codec.h. encode()/decode() are importable for the data builders.

    scripts/make_test_dictionary.py [OUTDIR]   (default tests/data/recognizer/dictionary)
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CODEC_HEADER = os.path.join(ROOT, "engine", "recognizer", "line_codec.h")
DICTIONARY_NAME = "DtC6dal.dat"
LEXICON_NAME = "DtC6dl.dat"

PHONES = set(
    "aa ae ah ao aw ax ay b ch d dh eh er ey f g hh ih iy jh k l m n ng ow oy p r s sh t th "
    "uh uw v w y z zh sil".split())


def line_key(header=CODEC_HEADER):
    """The engine's line-encoding key, read from its one definition."""
    with open(header, encoding="utf-8") as f:
        match = re.search(r"kLineCodecKey\s*=\s*(0[xX][0-9A-Fa-f]+|\d+)", f.read())
    if not match:
        raise SystemExit("kLineCodecKey not found in " + header)
    return int(match.group(1), 0)


def encode(data, key=None):
    """XORs every byte with the key; bytes or str in, bytes out. Decoding is the same step."""
    if isinstance(data, str):
        data = data.encode("latin-1")
    key = line_key() if key is None else key
    return bytes(b ^ key for b in data)


def decode(data, key=None):
    return encode(data, key)


def encode_lines(lines, key=None):
    """Encodes lines, each ended by a line feed."""
    return encode("".join(line + "\n" for line in lines), key)


def letter_runs(word):
    runs, i = [], 0
    while i < len(word):
        j = i + 1
        while j < len(word) and word[j] == word[i]:
            j += 1
        runs.append(word[i:j])
        i = j
    return runs


# Headword and pronunciation; "(2)" marks an alternative.
DICTIONARY = """
A ax
A(2) ey
AUTOMATIC ao t ax m ae t ih k
BACK b ae k
BROWN b r aw n
CALL k ao l
CAN k ae n
DAY d ey
DOG d ao g
FOX f aa k s
GET g eh t
GOOD g uh d
HELLO hh ax l ow
HELLO(2) hh eh l ow
HOW hh aw
IS ih z
IT ih t
JUMPS jh ah m p s
LAZY l ey z iy
LIP l ih p
ME m iy
MESSAGE m eh s ih jh
MORNING m ao r n ih ng
MY m ay
NAME n ey m
NOT n aa t
OF ah v
OVER ow v er
PLEASE p l iy z
QUICK k w ih k
SAY s ey
SYNC s ih ng k
SYNCHRONIZATION s ih ng k r ax n ax z ey sh ax n
TEST t eh s t
THANK th ae ng k
THE dh ax
THE(2) dh iy
THIS dh ih s
TO t uw
TODAY t ax d ey
VOICE v oy s
WE w iy
WHAT w ah t
WHEN w eh n
WORLD w er l d
YOU y uw
"""

# Headword, then one group per letter run: phones joined by "+", "-" for a silent run.
LEXICON = """
A ax
ADD ae d
ALL ao l
AM ae m
AN ae n
AND ae n d
ANT ae n t
APPLE ae p ax+l -
AS ae z
ASK ae s k
AT ae t
AUTOMATIC ao - t ax m ae t ih k
BACK b ae k -
BAD b ae d
BAG b ae g
BALL b ao l
BAT b ae t
BATH b ae th -
BE b iy
BED b eh d
BEE b iy
BELL b eh l
BEST b eh s t
BET b eh t
BIG b ih g
BIKE b ay k -
BIRD b er - d
BIT b ih t
BOAT b ow - t
BONE b ow n -
BOOK b uh k
BOTTLE b aa t ax+l -
BOX b aa k+s
BOXES b aa k+s ih z
BOY b oy -
BROWN b r aw - n
BUNNY b ah n iy
BUS b ah s
BUT b ah t
BUTTER b ah t er -
BUZZ b ah z
BY b ay
CAKE k ey k -
CALL k ao l
CAN k ae n
CAP k ae p
CAR k aa r
CAT k ae t
CELL s eh l
CENT s eh n t
CHIN ch - ih n
CHIP ch - ih p
CHOP ch - aa p
CITY s ih t iy
COAT k ow - t
COIN k oy - n
COOL k uw l
CORN k ao r n
COW k aw -
CROSS k r ao s
CRY k r ay
CUP k ah p
CUT k ah t
CUTE k y+uw t -
DAD d ae d
DAY d ey -
DEEP d iy p
DID d ih d
DIG d ih g
DINNER d ih n er -
DO d uw
DOG d ao g
DOT d aa t
DRESS d r eh s
DUCK d ah k -
EGG eh g
END eh n d
FACE f ey s -
FALL f ao l
FAN f ae n
FAR f aa r
FAT f ae t
FEET f iy t
FELL f eh l
FIG f ih g
FIGHT f ay - - t
FILL f ih l
FINE f ay n -
FISH f ih sh -
FIT f ih t
FIX f ih k+s
FIZZ f ih z
FLY f l ay
FOOD f uw d
FOR f ao r
FORK f ao r k
FOX f aa k+s
FREE f r iy
FUN f ah n
FUNNY f ah n iy
FUR f er -
GAME g ey m -
GAS g ae s
GATE g ey t -
GET g eh t
GLASS g l ae s
GO g ow
GOOD g uh d
GOT g aa t
GRAPH g r ae f -
GREEN g r iy n
GUM g ah m
HAD hh ae d
HAM hh ae m
HAPPY hh ae p iy
HAS hh ae z
HAT hh ae t
HE hh iy
HELLO hh eh l ow
HEN hh eh n
HER hh er -
HID hh ih d
HIGH hh ay - -
HILL hh ih l
HIM hh ih m
HIS hh ih z
HIT hh ih t
HOME hh ow m -
HOP hh aa p
HOT hh aa t
HOUSE hh aw - s -
HOW hh aw -
HUG hh ah g
HUT hh ah t
I ay
ICE ay s -
IF ih f
IN ih n
IS ih z
IT ih t
JAM jh ae m
JAZZ jh ae z
JET jh eh t
JOB jh aa b
JOY jh oy -
JUG jh ah g
JUMP jh ah m p
JUMPED jh ah m p - t
JUMPS jh ah m p s
KEEP k iy p
KID k ih d
KING k ih ng -
KISS k ih s
KIT k ih t
KITTEN k ih t ax n
KNEE - n iy
KNIFE - n ay f -
KNOW - n ow -
LAKE l ey k -
LAMB l ae m -
LAP l ae p
LATE l ey t -
LAZY l ey z iy
LEG l eh g
LESS l eh s
LET l eh t
LETTER l eh t er -
LID l ih d
LIGHT l ay - - t
LIKE l ay k -
LINE l ay n -
LIP l ih p
LIT l ih t
LITTLE l ih t ax+l -
LOG l ao g
LONG l ao ng -
LOOK l uh k
LOT l aa t
MAD m ae d
MAIL m ey - l
MAKE m ey k -
MAN m ae n
MAP m ae p
MAT m ae t
MATH m ae th -
MAY m ey -
ME m iy
MEASURE m eh - zh er - -
MEET m iy t
MEN m eh n
MESS m eh s
MESSAGE m eh s ih jh -
MET m eh t
MIDDLE m ih d ax+l -
MISS m ih s
MIX m ih k+s
MOM m aa m
MOON m uw n
MOP m aa p
MOTION m ow sh - ax n
MOUSE m aw - s -
MUD m ah d
MUG m ah g
MULE m y+uw l -
MY m ay
NAME n ey m -
NAP n ae p
NATION n ey sh - ax n
NET n eh t
NICE n ay s -
NIGHT n ay - - t
NINE n ay n -
NO n ow
NOSE n ow z -
NOT n aa t
NOTE n ow t -
NOW n aw -
NUT n ah t
ODD aa d
OF ah v
OFF ao f
OIL oy - l
ON aa n
OUR aw - er
OUT aw - t
OVER ow v er -
PAN p ae n
PARK p aa r k
PASS p ae s
PEN p eh n
PET p eh t
PHONE f - ow n -
PHOTO f - ow t ow
PIG p ih g
PIN p ih n
PIT p ih t
PLAY p l ey -
PLAYED p l ey - - d
PLEASE p l iy - z -
POOL p uw l
POT p aa t
PUP p ah p
PUPPY p ah p iy
QUEEN k w iy n
QUICK k w ih k -
QUIT k w ih t
RABBIT r ae b ih t
RAIN r ey - n
RAN r ae n
RAT r ae t
RED r eh d
RIB r ih b
RICE r ay s -
RIDE r ay d -
RIGHT r ay - - t
RING r ih ng -
ROAD r ow - d
ROOM r uw m
ROPE r ow p -
RUN r ah n
SAD s ae d
SAME s ey m -
SAT s ae t
SAY s ey -
SEE s iy
SEED s iy d
SEEN s iy n
SELL s eh l
SET s eh t
SHE sh - iy
SHIP sh - ih p
SHOP sh - aa p
SHUT sh - ah t
SING s ih ng -
SIT s ih t
SIX s ih k+s
SKY s k ay
SLEEP s l iy p
SMALL s m ao l
SO s ow
SONG s ao ng -
SOON s uw n
SPELL s p eh l
STAR s t aa r
STATION s t ey sh - ax n
SUMMER s ah m er -
SUN s ah n
SUNNY s ah n iy
TAIL t ey - l
TAKE t ey k -
TALL t ao l
TAN t ae n
TELL t eh l
TEN t eh n
TEST t eh s t
THAT dh - ae t
THE dh - ax
THEM dh - eh m
THEN dh - eh n
THIN th - ih n
THING th - ih ng -
THIS dh - ih s
THUMB th - ah m -
TIME t ay m -
TIN t ih n
TIP t ih p
TO t uw
TOO t uw
TOOL t uw l
TOP t aa p
TOY t oy -
TREASURE t r eh - zh er - -
TREE t r iy
TRY t r ay
TUB t ah b
TUBE t uw b -
TURN t er - n
UP ah p
US ah s
VAN v ae n
VET v eh t
VISION v ih zh - ax n
WAIT w ey - t
WALL w ao l
WANTED w aa n t ih d
WAX w ae k+s
WAY w ey -
WE w iy
WEB w eh b
WELL w eh l
WET w eh t
WHAT w - ah t
WHEN w - eh n
WHICH w - ih ch -
WHO - hh uw
WIG w ih g
WIN w ih n
WITH w ih th -
WORLD w er - l d
WRITE - r ay t -
WRONG - r ao ng -
YAK y ae k
YES y eh s
YET y eh t
YOU y uw -
ZEBRA z iy b r ax
ZIP z ih p
ZOO z uw
"""


def dictionary_lines():
    entries = []
    for row in DICTIONARY.strip().splitlines():
        head, *phones = row.split()
        bad = [p for p in phones if p not in PHONES]
        if bad or not phones:
            raise SystemExit("bad dictionary entry: " + row)
        entries.append((head, " ".join(phones)))
    # Byte order of the bare headwords; an alternative stays after its main line.
    entries.sort(key=lambda e: (re.sub(r"\([0-9.]+\)$", "", e[0]).encode(), e[0].encode()))
    lines = ["# Voxtrail test pronunciation dictionary", "#", "## headword, then phonemes"]
    for i, (head, phones) in enumerate(entries):
        if i == len(entries) // 2:
            lines.append("#\tcomments may stand anywhere")
        lines.append(head + " " + phones)
    return lines


def lexicon_lines():
    lines = ["# Voxtrail test aligned lexicon: one phone group per letter run, '|' between groups"]
    seen = set()
    for row in LEXICON.strip().splitlines():
        head, *groups = row.split()
        if head in seen or len(groups) != len(letter_runs(head)):
            raise SystemExit("bad lexicon entry: " + row)
        seen.add(head)
        phone_groups = [[] if g == "-" else g.split("+") for g in groups]
        if any(p not in PHONES for g in phone_groups for p in g):
            raise SystemExit("bad phone in lexicon entry: " + row)
        lines.append(head + " " + " | ".join(" ".join(g) for g in phone_groups))
    return lines


def main(argv):
    out = argv[1] if len(argv) > 1 else os.path.join(ROOT, "tests", "data", "recognizer", "dictionary")
    os.makedirs(out, exist_ok=True)
    key = line_key()
    for name, lines in ((DICTIONARY_NAME, dictionary_lines()), (LEXICON_NAME, lexicon_lines())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(encode_lines(lines, key))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
