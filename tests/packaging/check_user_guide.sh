#!/usr/bin/env bash
# Reads the text and the pictures back out of the built user guide PDF: each
# chapter an operator needs is there, and so is every picture the Markdown
# source shows (a picture that failed to load would leave a placeholder).
#
#   check_user_guide.sh "Orvel User Guide.pdf" user-guide.md
set -euo pipefail
pdf="$1"
source="$2"
# The layout sets "fi" and "fl" as ligatures; the text reads them back as such.
text="$(pdftotext -layout "$pdf" - | sed 's/ﬁ/fi/g; s/ﬂ/fl/g')"
failures=0
for chapter in "Connecting the sensor" "Scan kinds" "The configuration panel" "The linear drive" \
    "A spatial scan on the simulated drive" "Browsing a session" "Trends" "Error bars" \
    "Analysis settings" "Base level" "Saving and opening" "Recovery" "Export" \
    "The command-line tool" "Troubleshooting"; do
  if ! grep -q "$chapter" <<<"$text"; then
    echo "check_user_guide: no chapter \"$chapter\" in $pdf" >&2
    failures=$((failures + 1))
  fi
done
pictures="$(grep -c '!\[[^]]*\]([^)]*\.png)' "$source")"
embedded="$(pdfimages -list "$pdf" | awk 'NR > 2 && $3 == "image" && $4 > 100' | wc -l)"
if [ "$embedded" -ne "$pictures" ]; then
  echo "check_user_guide: $pictures pictures in the source, $embedded full-size images in $pdf" >&2
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "check_user_guide: $pictures pictures and every chapter present"
exit "$failures"
