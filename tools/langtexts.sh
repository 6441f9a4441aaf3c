#!/usr/bin/env bash
# Lists the texts the program hands to its translation table and checks
# data/language.csv against them: every text has a row, every row has all
# five translations with exactly the printf conversions of its key, numbers
# lie in 1..1023, lines fit, and messages 208..213 (the boot-loader alert)
# are there.
#
#   tools/langtexts.sh           check; exit 1 and say what is wrong
#   tools/langtexts.sh --list    print every text, one a line
#
# A text is found where the code passes a string literal to gettext(),
# N_() (a text translated later, in a table), texts() (window labels and
# tooltips), tr(), RPOut() or Translated::message(); and in data/config.csv
# the columns the editor translates: name, tab, help, tab help, and kinds
# that are menus ("sel:...").
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
table=$root/data/language.csv
config=$root/data/config.csv

lit='"([^"\\]|\\.)*"'

programTexts() {
  local files
  files=$(find "$root/src/korprog" "$root/src/main" \( -name '*.cpp' -o -name '*.h' \) | sort)
  {
    # shellcheck disable=SC2086
    grep -ohE "\\b(gettext|N_|tr|RPOut|message)\\(\\s*$lit" $files | grep -oE "$lit" || true
    # shellcheck disable=SC2086
    grep -ohE "\\btexts\\([^,()]+,\\s*$lit(\\s*,\\s*$lit)?" $files | grep -oE "$lit" || true
  } | sed -E 's/^"//; s/"$//; s/\\"/"/g; s/\\\\/\\/g'
}

configTexts() {
  awk -F';' '($1 + 0) != 0 {
      print $3; print $4; print $6; print $7
      if ($5 ~ /^sel:/) print $5
  }' "$config"
}

# The editor keeps at most this many bytes of a translated label, tab
# name or help text (its fields hold 80), and of a menu (160).
configWidths() {
  awk -F';' '($1 + 0) != 0 {
      printf "79\t%s\n79\t%s\n79\t%s\n", $3, $4, $6
      if ($5 ~ /^sel:/) printf "159\t%s\n", $5
  }' "$config"
}

allTexts() { { programTexts; configTexts; } | grep -v '^$' | sort -u; }

texts=$(allTexts)
if [ "${1:-}" = "--list" ]; then
  echo "$texts"
  exit 0
fi

problems=$(
  echo "$texts" | awk -F';' '
    # The printf conversions of a text, each whole ("%s", "%-5d", "%n"),
    # in order ("%%" left out). A translation must have exactly those of
    # its key, or the program shows the key instead.
    function conv(s,   out, i, spec) {
      out = ""
      while ((i = index(s, "%")) > 0) {
        s = substr(s, i + 1)
        if (substr(s, 1, 1) == "%") { s = substr(s, 2); continue }
        spec = "%"
        while (s != "" && index("-+ #0123456789.*$hlLqjzt", substr(s, 1, 1)) > 0) {
          spec = spec substr(s, 1, 1); s = substr(s, 2)
        }
        spec = spec substr(s, 1, 1); s = substr(s, 2)
        out = out spec "|"
      }
      return out
    }
    FNR == 1 { ++file }
    file == 1 { wanted[$0] = 1; next }
    file == 2 { split($0, w, "\t"); width[substr($0, length(w[1]) + 2)] = w[1]; next }
    {
      sub(/\r$/, "")
      if (length($0) > 512) printf "line %d: longer than 512 characters (%d)\n", FNR, length($0)
      if ($1 !~ /^[0-9]+$/ || $1 + 0 == 0) next
      n = $1 + 0
      if (length($1) > 5 || n > 1023) { printf "line %d: message number %s outside 1..1023\n", FNR, $1; next }
      if (n in seen) printf "line %d: message %d again (first on line %d)\n", FNR, n, seen[n]
      seen[n] = FNR
      if (NF != 7) printf "line %d: %d columns, not 7\n", FNR, NF
      for (i = 3; i <= 7; ++i) {
        if ($i == "") printf "line %d: column %d empty\n", FNR, i
        else if (conv($i) != conv($2)) printf "line %d: column %d has other conversions than \"%s\"\n", FNR, i, $2
        if (($2 in width) && length($i) > width[$2] + 0)
          printf "line %d: column %d longer than the editor keeps (%d bytes)\n", FNR, i, width[$2]
      }
      have[$2] = 1
      key[n] = $2
    }
    END {
      for (n = 208; n <= 213; ++n) {
        if (!(n in seen)) printf "message %d (boot-loader alert) missing\n", n
        else if (!(key[n] in wanted)) printf "message %d: \"%s\" is not a text of the program\n", n, key[n]
      }
      for (t in wanted) if (!(t in have)) printf "no row for \"%s\"\n", t
    }' - <(configWidths) "$table" | sort
)
if [ -n "$problems" ]; then
  echo "$table:"
  echo "$problems"
  exit 1
fi
echo "language.csv: $(echo "$texts" | wc -l) texts, all with a row"
