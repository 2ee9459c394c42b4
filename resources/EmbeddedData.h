// The bytes of the checked-in picture and icon files, compiled in by the build (each file
// becomes one array; see CMakeLists.txt). Only the registration code of this folder uses them.
//
//     platform::ResourceEntry e{RT_BITMAP, nullptr, 116, 1031, embedded::kPicture116,
//                               embedded::kPicture116Size};
#pragma once

#include <cstddef>

namespace embedded {

// Bitmap resources 116 to 124: bitmap header, 256-entry colour table, 400 x 120 pixels.
extern const unsigned char kPicture116[];
extern const std::size_t kPicture116Size;
extern const unsigned char kPicture117[];
extern const std::size_t kPicture117Size;
extern const unsigned char kPicture118[];
extern const std::size_t kPicture118Size;
extern const unsigned char kPicture119[];
extern const std::size_t kPicture119Size;
extern const unsigned char kPicture120[];
extern const std::size_t kPicture120Size;
extern const unsigned char kPicture121[];
extern const std::size_t kPicture121Size;
extern const unsigned char kPicture122[];
extern const std::size_t kPicture122Size;
extern const unsigned char kPicture123[];
extern const std::size_t kPicture123Size;
extern const unsigned char kPicture124[];
extern const std::size_t kPicture124Size;

// The words of pictures 116 to 124 (UTF-8 text, see tools/make-pictures).
extern const unsigned char kPageText116[];
extern const std::size_t kPageText116Size;
extern const unsigned char kPageText117[];
extern const std::size_t kPageText117Size;
extern const unsigned char kPageText118[];
extern const std::size_t kPageText118Size;
extern const unsigned char kPageText119[];
extern const std::size_t kPageText119Size;
extern const unsigned char kPageText120[];
extern const std::size_t kPageText120Size;
extern const unsigned char kPageText121[];
extern const std::size_t kPageText121Size;
extern const unsigned char kPageText122[];
extern const std::size_t kPageText122Size;
extern const unsigned char kPageText123[];
extern const std::size_t kPageText123Size;
extern const unsigned char kPageText124[];
extern const std::size_t kPageText124Size;

// The icon's two images (32 x 32 at 16 and at 256 colours) and the group directory naming them.
extern const unsigned char kIcon1[];
extern const std::size_t kIcon1Size;
extern const unsigned char kIcon2[];
extern const std::size_t kIcon2Size;
extern const unsigned char kIconGroup[];
extern const std::size_t kIconGroupSize;

} // namespace embedded
