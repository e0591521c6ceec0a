#include "common/CryptoLibrary.h"

#include <openssl/opensslv.h>

#include "common/Debug.h"
#include "common/SharedLibrary.h"

#define ZOR_STRINGIFY2(x) #x
#define ZOR_STRINGIFY(x) ZOR_STRINGIFY2(x)

namespace zor {

const CryptoLibrary& Crypto() {
    static const CryptoLibrary crypto = [] {
        CryptoLibrary c;
        static const char kName[] = "libcrypto.so." ZOR_STRINGIFY(OPENSSL_VERSION_MAJOR);
        void* library = OpenSharedLibrary(kName, c.error);
        if (library == nullptr) {
            DebugLine(c.error + "\n");
            return c;
        }
        c.loaded = ResolveSymbol(library, "EVP_CIPHER_CTX_new", c.cipherCtxNew) &&
                   ResolveSymbol(library, "EVP_CIPHER_CTX_free", c.cipherCtxFree) &&
                   ResolveSymbol(library, "EVP_BytesToKey", c.bytesToKey) &&
                   ResolveSymbol(library, "EVP_aes_256_cbc", c.aes256Cbc) &&
                   ResolveSymbol(library, "EVP_DecryptInit_ex", c.decryptInit) &&
                   ResolveSymbol(library, "EVP_DecryptUpdate", c.decryptUpdate) &&
                   ResolveSymbol(library, "EVP_DecryptFinal_ex", c.decryptFinal) &&
                   ResolveSymbol(library, "EVP_sha256", c.sha256) &&
                   ResolveSymbol(library, "EVP_MD_CTX_new", c.mdCtxNew) &&
                   ResolveSymbol(library, "EVP_MD_CTX_free", c.mdCtxFree) &&
                   ResolveSymbol(library, "EVP_DigestInit_ex", c.digestInit) &&
                   ResolveSymbol(library, "EVP_DigestUpdate", c.digestUpdate) &&
                   ResolveSymbol(library, "EVP_DigestFinal_ex", c.digestFinal) &&
                   ResolveSymbol(library, "OPENSSL_cleanse", c.cleanse);
        if (!c.loaded) {
            c.error = std::string(kName) + " lacks a function the program needs";
            DebugLine(c.error + "\n");
        }
        return c;
    }();
    return crypto;
}

}  // namespace zor
