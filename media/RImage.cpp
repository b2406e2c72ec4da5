#include "media/RImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "base/DebugOutput.h"
#include "media/MagickLibrary.h"

namespace tavrel {
namespace {

// The library is loaded and set up by the first picture read or made; false when it cannot be
// had. Pictures wider or taller than kMaxSide are refused when the library opens their pixel
// cache, which happens before any pixel is decoded.
bool StartLibrary() {
    if (!Magick()) return false;
    static std::once_flag once;
    std::call_once(once, [] {
        Magick()->MagickCoreGenesis(nullptr, MagickFalse);
        Magick()->SetMagickResourceLimit(WidthResource, CRImage::kMaxSide);
        Magick()->SetMagickResourceLimit(HeightResource, CRImage::kMaxSide);
    });
    return true;
}

// One call's exception record.
class Exception {
public:
    Exception() : info_(Magick()->AcquireExceptionInfo()) {}
    ~Exception() { Magick()->DestroyExceptionInfo(info_); }
    Exception(const Exception&) = delete;
    Exception& operator=(const Exception&) = delete;
    ExceptionInfo* operator&() { return info_; }
    // A damaged file counts as unreadable even when the library kept what it decoded; the
    // readers leave some of their complaints on the image itself.
    bool Failed(const Image* image) const {
        return Bad(info_) || (image && Bad(&image->exception));
    }

private:
    static bool Bad(const ExceptionInfo* e) {
        return e->severity >= ErrorException || e->severity == CorruptImageWarning;
    }
    ExceptionInfo* info_;
};

// The picture formats a user's file may be, told by their first bytes. The file's name plays no
// part: the library would take prefixes and suffixes in it as orders ("ephemeral:" deletes).
const char* FormatOf(const std::string& bytes, const std::string& path) {
    auto starts = [&](const char* magic, size_t at = 0) {
        const size_t n = std::strlen(magic);
        return bytes.size() >= at + n && bytes.compare(at, n, magic) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n")) return "PNG";
    if (starts("\xff\xd8\xff")) return "JPEG";
    if (starts("GIF87a") || starts("GIF89a")) return "GIF";
    if (starts("BM")) return "BMP";
    if (starts("II*") || starts("MM\0*")) return "TIFF";
    if (starts("RIFF") && starts("WEBP", 8)) return "WEBP";
    std::string extension = path.substr(path.find_last_of('.') + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == "tga") return "TGA";
    return nullptr;
}

// The first bytes of the file, enough to tell its format: a file that is no picture is not
// read further.
bool ReadHead(std::FILE* file, std::string* head) {
    char bytes[16];
    const size_t count = std::fread(bytes, 1, sizeof bytes, file);
    head->assign(bytes, count);
    return !std::ferror(file) && std::fseek(file, 0, SEEK_SET) == 0;
}

// Keeps the first picture of a list (an animated GIF gives one per frame).
Image* FirstOnly(Image* list) {
    if (list) Magick()->DestroyImageList(Magick()->SplitImageList(list));
    return list;
}

// Reads the first picture of the open file in the format: its size first, its pixels only when
// the size is within bounds. The library reads the file as it needs, never the whole at once.
Image* ReadPicture(std::FILE* file, const char* format) {
    ImageInfo* info = Magick()->AcquireImageInfo();
    Magick()->CopyMagickString(info->magick, format, MaxTextExtent);
    Magick()->CopyMagickString(info->filename, (std::string(format) + ":").c_str(), MaxTextExtent);
    info->affirm = MagickTrue;
    info->file = file;
    info->scene = 0;
    info->number_scenes = 1;
    Exception exception;
    Image* size = Magick()->PingImage(info, &exception);
    Image* image = nullptr;
    if (size && !exception.Failed(size) && size->columns > 0 && size->rows > 0 &&
        int64_t(size->columns) * int64_t(size->rows) <= CRImage::kMaxPixels &&
        std::fseek(file, 0, SEEK_SET) == 0) {
        image = FirstOnly(Magick()->ReadImage(info, &exception));
        if (image && (exception.Failed(image) || image->columns == 0 || image->rows == 0)) {
            Magick()->DestroyImage(image);
            image = nullptr;
        }
    }
    if (size) Magick()->DestroyImageList(size);
    info->file = nullptr;  // closed by its owner
    Magick()->DestroyImageInfo(info);
    return image;
}

}  // namespace

CRImage::CRImage() = default;

CRImage::CRImage(_Image* image, std::string path) : path_(std::move(path)), image_(image) {}

CRImage::~CRImage() {
    Clear();
}

CRImage::CRImage(CRImage&& other) noexcept
    : path_(std::move(other.path_)), image_(std::exchange(other.image_, nullptr)) {}

CRImage& CRImage::operator=(CRImage&& other) noexcept {
    if (this != &other) {
        Clear();
        path_ = std::move(other.path_);
        image_ = std::exchange(other.image_, nullptr);
    }
    return *this;
}

void CRImage::Clear() {
    if (image_) Magick()->DestroyImage(image_);
    image_ = nullptr;
}

int CRImage::GetWidth() const {
    return image_ ? static_cast<int>(image_->columns) : 0;
}
int CRImage::GetHeight() const {
    return image_ ? static_cast<int>(image_->rows) : 0;
}
int CRImage::GetBitDepth() const {
    return image_ ? static_cast<int>(image_->depth) : 0;
}

bool CRImage::Load(const std::string& path) {
    Clear();
    path_ = path;
    Image* image = nullptr;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    std::string head;
    if (file && StartLibrary() && ReadHead(file.get(), &head)) {
        if (const char* format = FormatOf(head, path)) image = ReadPicture(file.get(), format);
    }
    if (!image) {
        DebugOutput("CRImage::Load(" + path + ") failed.\n");
        return false;
    }
    image_ = image;
    return true;
}

bool CRImage::CreateFromPixels(int width, int height, const uint8_t* rgb, int stride) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || !rgb ||
        stride < width * 3 || !StartLibrary()) {
        DebugOutput("CRImage::Create() failed!\n");
        return false;
    }
    std::vector<uint8_t> packed;
    const uint8_t* pixels = rgb;
    if (stride != width * 3) {
        packed.resize(size_t(width) * height * 3);
        for (int y = 0; y < height; ++y)
            std::memcpy(&packed[size_t(y) * width * 3], rgb + size_t(y) * stride, width * 3);
        pixels = packed.data();
    }
    Exception exception;
    Image* image = Magick()->ConstituteImage(width, height, "RGB", CharPixel, pixels, &exception);
    if (!image) {
        DebugOutput("CRImage::Create() failed!\n");
        return false;
    }
    Clear();
    path_.clear();
    image_ = image;
    return true;
}

bool CRImage::Create(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        DebugOutput("CRImage::Create() failed!\n");
        return false;
    }
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = red, pixels[i + 1] = green, pixels[i + 2] = blue;
    }
    return CreateFromPixels(width, height, pixels.data(), width * 3);
}

bool CRImage::Create(int width, int height) {
    return Create(width, height, 0, 0, 0);
}

std::unique_ptr<CRImage> CRImage::Made(_Image* image, const std::string& path,
                                       const char* operation) {
    if (!image) {
        DebugOutput(std::string("CRImage::") + operation + "() failed!\n");
        return nullptr;
    }
    // Offsets a crop leaves behind would shift later compositing.
    image->page.x = image->page.y = 0;
    image->page.width = image->columns, image->page.height = image->rows;
    return std::unique_ptr<CRImage>(new CRImage(image, path));
}

bool CRImage::GetPixels(std::vector<uint8_t>* rgb) const {
    if (!image_) return false;
    rgb->resize(size_t(image_->columns) * image_->rows * 3);
    Exception exception;
    return Magick()->ExportImagePixels(image_, 0, 0, image_->columns, image_->rows, "RGB", CharPixel,
                             rgb->data(), &exception) == MagickTrue;
}

std::unique_ptr<CRImage> CRImage::Copy() const {
    std::vector<uint8_t> rgb;
    Image* image = nullptr;
    if (GetPixels(&rgb)) {
        Exception exception;
        image = Magick()->ConstituteImage(image_->columns, image_->rows, "RGB", CharPixel, rgb.data(),
                                &exception);
    }
    return Made(image, path_, "Copy");
}

std::unique_ptr<CRImage> CRImage::Crop(int x, int y, int width, int height) const {
    const int w = GetWidth(), h = GetHeight();
    Image* image = nullptr;
    if (image_ && x >= 0 && y >= 0 && width > 0 && height > 0 && width <= w - x &&
        height <= h - y) {
        Exception exception;
        if (x == 0 && y == 0 && width == w && height == h) {
            image = Magick()->CloneImage(image_, 0, 0, MagickTrue, &exception);
        } else {
            const RectangleInfo area{size_t(width), size_t(height), x, y};
            image = Magick()->CropImage(image_, &area, &exception);
        }
    }
    return Made(image, path_, "Crop");
}

std::unique_ptr<CRImage> CRImage::Zoom(int width, int height) const {
    Image* image = nullptr;
    if (image_ && width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide) {
        Exception exception;
        image = Magick()->ResizeImage(image_, width, height, image_->filter, 1.0, &exception);
    }
    return Made(image, path_, "Zoom");
}

std::unique_ptr<CRImage> CRImage::ZoomToFit(int width, int height, bool keepProportions,
                                            uint8_t red, uint8_t green, uint8_t blue) const {
    if (!keepProportions) return Zoom(width, height);
    const int64_t w = GetWidth(), h = GetHeight();
    if (!image_ || width <= 0 || height <= 0) {
        DebugOutput("CRImage::ZoomToFit() failed!\n");
        return nullptr;
    }
    int scaledWidth = width, scaledHeight = height, left = 0, top = 0;
    if (int64_t(width) * h < int64_t(height) * w) {
        scaledHeight = static_cast<int>(std::max<int64_t>(1, width * h / w));
        top = (height - scaledHeight) / 2;
    } else {
        scaledWidth = static_cast<int>(std::max<int64_t>(1, height * w / h));
        left = (width - scaledWidth) / 2;
    }
    std::unique_ptr<CRImage> scaled = Zoom(scaledWidth, scaledHeight);
    auto result = std::make_unique<CRImage>();
    if (!scaled || !result->Create(width, height, red, green, blue) ||
        !scaled->BitBlt(*result, left, top, scaledWidth, scaledHeight, 0, 0)) {
        DebugOutput("CRImage::ZoomToFit() failed!\n");
        return nullptr;
    }
    result->path_ = path_;
    return result;
}

bool CRImage::BitBlt(CRImage& destination, int dx, int dy, int width, int height, int sx,
                     int sy) const {
    if (!image_ || !destination.image_ || sx < 0 || sy < 0 || width <= 0 || height <= 0 ||
        width > GetWidth() - sx || height > GetHeight() - sy) {
        DebugOutput("CRImage::BitBlt() failed: width or height out of source bound.\n");
        return false;
    }
    const bool whole = sx == 0 && sy == 0 && width == GetWidth() && height == GetHeight();
    std::unique_ptr<CRImage> region = whole ? nullptr : Crop(sx, sy, width, height);
    const Image* source = whole ? image_ : region ? region->image_ : nullptr;
    if (!source ||
        Magick()->CompositeImage(destination.image_, CopyCompositeOp, source, dx, dy) != MagickTrue) {
        DebugOutput("CRImage::BitBlt() failed!\n");
        return false;
    }
    return true;
}

std::unique_ptr<CRBitmap> CRImage::GetHBITMAP() const {
    std::vector<uint8_t> rgb;
    if (!GetPixels(&rgb)) {
        DebugOutput("CRImage::GetHBITMAP() failed!\n");
        return nullptr;
    }
    auto bitmap = std::make_unique<CRBitmap>();
    bitmap->width = GetWidth();
    bitmap->height = GetHeight();
    const size_t row = size_t(bitmap->width) * 3;
    bitmap->stride = static_cast<int>((row + 3) / 4 * 4);
    bitmap->bits.assign(size_t(bitmap->stride) * bitmap->height, 0);
    for (int y = 0; y < bitmap->height; ++y)
        std::memcpy(&bitmap->bits[size_t(y) * bitmap->stride], &rgb[y * row], row);
    return bitmap;
}

}  // namespace tavrel
