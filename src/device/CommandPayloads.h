// The payload of every command frame as a packed record: one struct per layout, each field at its
// byte position on the wire. A layout is written once, as a struct with a Bind function that
// pairs each wire field with its field of the request record; the encoder and the decoder both
// go through Bind, so the two directions cannot drift apart.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

#include "common/Colour.h"
#include "device/CommandFrame.h"
#include "device/DeviceRequest.h"
#include "device/SettingsSource.h"

namespace zor::wire {

// A 16-bit value, low byte first.
struct Le16 {
    std::array<std::uint8_t, 2> bytes{};
    constexpr std::uint16_t Get() const { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }
    constexpr void Set(std::uint16_t v) {
        bytes = {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
    }
};

// A 16-bit value, high byte first (the profile identifiers).
struct Be16 {
    std::array<std::uint8_t, 2> bytes{};
    constexpr std::uint16_t Get() const { return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]); }
    constexpr void Set(std::uint16_t v) {
        bytes = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF)};
    }
};

// A colour 0xRRGGBB as its three wire bytes (bits 8-15, 0-7, 16-23).
struct Rgb {
    WireColour bytes{};
    constexpr std::uint32_t Get() const { return ColourFromWire(bytes); }
    constexpr void Set(std::uint32_t v) { bytes = ColourToWire(v); }
};

// Bind's two directions. Encoding copies record fields into wire fields (multi-byte values cut to
// their wire width: a DPI value sends its low 16 bits); decoding copies wire fields back.
struct Encode {
    template <class Value>
    void operator()(std::uint8_t& field, const Value& value) const {
        field = static_cast<std::uint8_t>(value);
    }
    template <class Field, class Value>
    void operator()(Field& field, const Value& value) const {
        field.Set(static_cast<decltype(field.Get())>(value));
    }
};

struct Decode {
    template <class Value>
    void operator()(const std::uint8_t& field, Value& value) const {
        value = static_cast<Value>(field);
    }
    template <class Field, class Value>
    void operator()(const Field& field, Value& value) const {
        value = static_cast<Value>(field.Get());
    }
};

template <class Io, class Field, std::size_t N, class Value>
void BindEach(Io io, std::array<Field, N>& fields, const std::array<Value, N>& values) {
    for (std::size_t i = 0; i < N; ++i) io(fields[i], values[i]);
}
template <class Io, class Field, std::size_t N, class Value>
void BindEach(Io io, const std::array<Field, N>& fields, std::array<Value, N>& values) {
    for (std::size_t i = 0; i < N; ++i) io(fields[i], values[i]);
}

// Op 1 read: the link and battery state.
struct StatusReply {
    std::uint8_t connectionState;
    std::uint8_t battery;  // bit 7 charging, bits 0-6 percent
    std::uint8_t chip;     // sensor chip number
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        io(p.connectionState, r.connectionState);
        io(p.battery, r.battery);
        io(p.chip, r.chip);
    }
};

// Op 2/1 write: one profile identifier, at twice the profile index.
struct ProfileIdWrite {
    Be16 id;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        io(p.id, r.profileIds[static_cast<std::size_t>(r.profileIdIndex)]);
    }
};

// Op 2/1 read: the four profile identifiers.
struct ProfileIdsReply {
    std::array<Be16, kProfileCount> ids;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        BindEach(io, p.ids, r.profileIds);
    }
};

// One byte: the active profile (2/2), option bytes A and B (2/5, 2/6), the charge counter (2/7),
// the report-rate code (op 3) and the device parameters of op 10. Which record field the byte
// belongs to is the operation's.
template <auto Field>
struct OneByte {
    std::uint8_t value;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        io(p.value, r.*Field);
    }
};

// Op 2/3: the sleep time in seconds.
struct SleepTime {
    Le16 seconds;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        io(p.seconds, r.sleepTime);
    }
};

// Ops 4 and 5: the four bytes of a key code.
struct KeyCodePayload {
    std::array<std::uint8_t, 4> code;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        BindEach(io, p.code, r.keyCode);
    }
};

// Op 6: the gear mask, the current gear (1-based), eight DPI values and the attribute word.
struct Dpi {
    std::uint8_t gearMask;
    std::uint8_t currentGear;
    std::array<Le16, kDpiGears> dpi;
    Le16 attributes;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        io(p.gearMask, r.gearMask);
        io(p.currentGear, r.currentGear);
        BindEach(io, p.dpi, r.dpi);
        io(p.attributes, r.dpiAttributes);
    }
};

// Op 7: the eight DPI colours.
struct DpiColours {
    std::array<Rgb, kDpiGears> colours;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        BindEach(io, p.colours, r.dpiColours);
    }
};

// Op 9 at offset 0: the mode byte and the header value; the rest of the 25 bytes is zero.
struct LightingHeader {
    std::uint8_t modeByte;
    Le16 headerValue;
    std::array<std::uint8_t, 22> unused;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        io(p.modeByte, r.modeByte);
        io(p.headerValue, r.headerValue);
    }
};

// Op 9 at 25 x the mode number: the mode's four parameters and seven colours.
struct LightingBlock {
    std::array<std::uint8_t, 4> params;
    std::array<Rgb, kModeColours> colours;
    template <class Io, class P, class R>
    static void Bind(Io io, P& p, R& r) {
        BindEach(io, p.params, r.modeParams);
        BindEach(io, p.colours, r.modeColours);
    }
};

// The layouts are the protocol: sizes and byte positions are fixed.
template <class P>
constexpr bool kIsWireLayout = std::is_standard_layout_v<P>&& std::is_trivially_copyable_v<P> &&
                               alignof(P) == 1 && sizeof(P) <= kMaxPayload;
static_assert(sizeof(Le16) == 2 && sizeof(Be16) == 2 && sizeof(Rgb) == 3);
static_assert(kIsWireLayout<StatusReply> && sizeof(StatusReply) == 3);
static_assert(offsetof(StatusReply, battery) == 1 && offsetof(StatusReply, chip) == 2);
static_assert(kIsWireLayout<ProfileIdWrite> && sizeof(ProfileIdWrite) == 2);
static_assert(kIsWireLayout<ProfileIdsReply> && sizeof(ProfileIdsReply) == 8);
static_assert(kIsWireLayout<OneByte<&DeviceRequest::optionA>> &&
              sizeof(OneByte<&DeviceRequest::optionA>) == 1);
static_assert(kIsWireLayout<SleepTime> && sizeof(SleepTime) == 2);
static_assert(kIsWireLayout<KeyCodePayload> && sizeof(KeyCodePayload) == 4);
static_assert(kIsWireLayout<Dpi> && sizeof(Dpi) == 20);
static_assert(offsetof(Dpi, currentGear) == 1 && offsetof(Dpi, dpi) == 2 && offsetof(Dpi, attributes) == 18);
static_assert(kIsWireLayout<DpiColours> && sizeof(DpiColours) == 24);
static_assert(kIsWireLayout<LightingHeader> && sizeof(LightingHeader) == kLightingBlockSize);
static_assert(offsetof(LightingHeader, headerValue) == 1 && offsetof(LightingHeader, unused) == 3);
static_assert(kIsWireLayout<LightingBlock> && sizeof(LightingBlock) == kLightingBlockSize);
static_assert(offsetof(LightingBlock, colours) == 4);

// Writes the record's fields into the payload bytes (out holds sizeof(P) bytes).
template <class P>
void EncodeInto(const DeviceRequest& r, std::uint8_t* out) {
    P p{};
    P::Bind(Encode{}, p, r);
    std::memcpy(out, &p, sizeof(P));
}

// Reads the payload bytes (at least sizeof(P)) into the record's fields.
template <class P>
void DecodeFrom(const std::uint8_t* in, DeviceRequest& r) {
    P p;
    std::memcpy(&p, in, sizeof(P));
    P::Bind(Decode{}, static_cast<const P&>(p), r);
}

// A layout read from payload bytes as it stands (the virtual mouse's side of the wire); nullopt
// when the bytes are fewer than the layout holds.
template <class P>
std::optional<P> Load(std::span<const std::uint8_t> bytes) {
    static_assert(kIsWireLayout<P>);
    if (bytes.size() < sizeof(P)) return std::nullopt;
    P p;
    std::memcpy(&p, bytes.data(), sizeof(P));
    return p;
}

// Writes a layout into payload bytes (out holds at least sizeof(P) bytes).
template <class P>
void Store(const P& p, std::span<std::uint8_t> out) {
    static_assert(kIsWireLayout<P>);
    std::memcpy(out.data(), &p, std::min(sizeof(P), out.size()));
}

// A layout as the command set's operation table holds it.
struct Layout {
    std::size_t size = 0;  // 0: the op has no such payload
    void (*encode)(const DeviceRequest&, std::uint8_t*) = nullptr;
    void (*decode)(const std::uint8_t*, DeviceRequest&) = nullptr;
};

template <class P>
constexpr Layout LayoutOf() {
    static_assert(kIsWireLayout<P>);
    return {sizeof(P), &EncodeInto<P>, &DecodeFrom<P>};
}

}  // namespace zor::wire
