#pragma once

#include <QIcon>
#include <QPixmap>

// Resources of the wizard by their numbers: the string table, the side
// pictures of the pages and the icons.
namespace res {

inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_APP_TITLE = 102;
inline constexpr int IDS_SOCKETS_INIT_FAILED = 103;

inline constexpr int IDB_SCHEDULE_SIDE = 761;
inline constexpr int IDB_DOCUMENT_SIDE = 762;
inline constexpr int IDB_RECIPIENTS_SIDE = 5441;

inline constexpr int IDI_PROGRAM = 128;
inline constexpr int IDI_ADDRESS_BOOK = 131;
inline constexpr int IDI_ARROW_LEFT = 144;
inline constexpr int IDI_ARROW_RIGHT = 145;

// Text of a string resource; empty for an unknown number.
[[nodiscard]] const char* String(int id);

// A side picture at its natural size (the pages show it in a column of
// 87 x 170 dialog units), or scaled to cover the given size and cut to it;
// a null pixmap for an unknown number.
[[nodiscard]] QPixmap Bitmap(int id, QSize size = {});

// An icon at the size stored for it (32 x 32); a null pixmap for an unknown number.
[[nodiscard]] QPixmap IconPixmap(int id);
[[nodiscard]] QIcon Icon(int id);

}  // namespace res
