#pragma once
// tenmari-lookup's queries made ready for the lookup: typed UTF-8 to the
// dictionaries' code page 932, with the reason told when that cannot be.

#include <optional>
#include <string>
#include <string_view>

#include "Batch.h"

namespace tenmari::lookupcli {

// The query of a single command in code page 932: for a code or a prefix,
// full-width digits and dashes first become ASCII ones; an address is used
// as typed. nullopt, with `why` set, when it has no form there.
std::optional<std::string> prepareQuery(bool address, std::string_view typed, std::string& why);

// Why a UTF-8 query cannot be converted to code page 932, naming the
// character or byte in a short quoted piece around it.
std::string whyNotConvertible(std::string_view q);

// Whether all bytes are ASCII.
bool ascii(std::string_view s);

// The query of a batch code line in code page 932 (in `storage` when it had
// to change), or nullopt when it has no form there.
std::optional<std::string_view> codeQuery(std::string_view line, std::string& storage);

// The batch's address queries in code page 932 (folded first with `fold`),
// added to the table in input order; a line without a form there has no answer.
void addAddressQueries(batch::QueryTable& table, const batch::FlatArray<std::string_view>& lines, bool fold);

}  // namespace tenmari::lookupcli
