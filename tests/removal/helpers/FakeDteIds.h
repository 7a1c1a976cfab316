// Identifiers shared by the stand-in automation server (FakeDte.exe) and the
// tests that register and configure it.
#pragma once

#include <windows.h>

#include <string>

// The public interface identifiers of Visual Studio's automation model.
// {04A72314-32E9-48E2-9B87-A63603454F3E}
inline constexpr IID IID_DTE = {0x04A72314, 0x32E9, 0x48E2, {0x9B, 0x87, 0xA6, 0x36, 0x03, 0x45, 0x4F, 0x3E}};
// {83D31B2E-9990-4275-AE39-77D1FB5BBCD9}
inline constexpr IID IID_CommandBars = {0x83D31B2E, 0x9990, 0x4275, {0xAE, 0x39, 0x77, 0xD1, 0xFB, 0x5B, 0xBC, 0xD9}};

// The server's private identity interface: lets it recognise its own objects
// when a client hands them back as arguments.
inline constexpr IID IID_FakeIdentity = {0x6D3C0A51, 0x44B2, 0x4E0B, {0x9A, 0x17, 0x2C, 0x51, 0x7E, 0x0D, 0x33, 0x01}};

// The type library that describes the two model interfaces for marshalling.
inline constexpr GUID LIBID_FakeDte = {0x6D3C0A52, 0x44B2, 0x4E0B, {0x9A, 0x17, 0x2C, 0x51, 0x7E, 0x0D, 0x33, 0x02}};

inline constexpr wchar_t FakeDteConfigKey[] = L"Software\\QvTest\\FakeDte";

// One class per version: {6D3C0A6n-44B2-4E0B-9A17-2C517E0D33nn}.
inline bool FakeDteClassOf(const std::wstring& version, CLSID& clsid) {
    const wchar_t* const versions[] = {L"8.0", L"9.0", L"10.0", L"11.0"};
    for (unsigned char i = 0; i < 4; ++i) {
        if (version == versions[i]) {
            clsid = {0x6D3C0A60u + i,
                     0x44B2,
                     0x4E0B,
                     {0x9A, 0x17, 0x2C, 0x51, 0x7E, 0x0D, 0x33, static_cast<unsigned char>(0x10 + i)}};
            return true;
        }
    }
    return false;
}
