#pragma once

#include <cstdint>

// Error numbers that the clock database raises, in the range of the host's framework library.
// They follow the numbers the host's data access has always used, so that an integrator who
// knows them reads the message box without a lookup.
namespace orvane::dberr {

// Any failure the engine reports that has no number of its own (its message is the description).
inline constexpr int32_t kEngine = 3000;
// A recordset has no current row: it is at its end.
inline constexpr int32_t kNoCurrentRecord = 3021;
// The database file named by the connection text does not exist.
inline constexpr int32_t kFileNotFound = 3024;
// A write that found the database locked by another program for longer than the clock waits.
inline constexpr int32_t kLocked = 3218;
// A write to a database that may only be read (the file's permissions or its own header).
inline constexpr int32_t kReadOnly = 3027;
// Query text that the translation for the engine cannot read.
inline constexpr int32_t kSyntax = 3075;
// A column that the recordset does not have.
inline constexpr int32_t kItemNotFound = 3265;
// A file that is not a clock database.
inline constexpr int32_t kUnrecognizedFormat = 3343;
// A connection text that names no database the clock can use (a PostgreSQL URI it cannot read).
inline constexpr int32_t kBadConnectString = 3001;
// The database server refused the login (wrong user or password, or no entry for the clock in
// the server's list of allowed connections).
inline constexpr int32_t kLoginRefused = 3029;
// The database server cannot be reached, or the connection to it was lost.
inline constexpr int32_t kConnectionFailed = 3151;
// A punch, manager entry or correction with a moment inside an approved week.
inline constexpr int32_t kApprovedWeek = 3033;
// A punch or manager entry for the card of an employee who was removed (made inactive): the
// record needs an active employee, as a related record is required.
inline constexpr int32_t kInactiveCard = 3201;
// The database is not open, or the recordset was closed.
inline constexpr int32_t kNotOpen = 3420;

}  // namespace orvane::dberr
