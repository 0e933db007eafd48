#pragma once
// Text in any script as plain ASCII capitals, through ICU's transliterators:
// "Кино – Группа крови" gives "KINO - GRUPPA KROVI", "Straße" "STRASSE",
// "北京" "BEI JING". What has no ASCII form (an emoji) stays as it is, for
// the caller to drop. One transliterator, made on the first call, serves
// every caller in turn: any thread may call.
#include <string>

// `utf8` must be valid UTF-8.
std::string ToLatinCapitals(const std::string& utf8);
