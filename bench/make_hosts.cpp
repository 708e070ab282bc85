// Writes a made-up hosts blocklist for the benchmarks, shaped like the lists
// users paste into their hosts file: a comment header, the localhost block,
// then `0.0.0.0 <domain>` lines in sections that each begin with a blank line
// and a comment, all lines ending with CR LF. Domains are unique, of lengths
// and label counts like those of a real list, and the same for the same
// arguments on every machine.
//
//   make_hosts ENTRIES OUTPUT

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // A number from `low` to `high`, both included.
    int between(int low, int high) { return low + static_cast<int>(next() % (high - low + 1)); }
    bool percent(int chance) { return between(1, 100) <= chance; }

private:
    uint64_t state_;
};

std::string label(Random& random, int length) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzaeiouaeiou0123456789";
    std::string text;
    for (int i = 0; i < length; ++i) {
        // No hyphen first or last, as in a host name.
        const bool hyphen = i > 0 && i + 1 < length && random.percent(4);
        text += hyphen ? '-' : letters[random.next() % (sizeof letters - 1)];
    }
    return text;
}

std::string base36(uint64_t n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36]);
        n /= 36;
    } while (n);
    return digits;
}

// Entry `index` gets a domain of its own: the index is part of its main label.
std::string domain(Random& random, uint64_t index) {
    static constexpr std::array<const char*, 16> tlds = {
        "com", "com", "com", "com", "com", "com", "com", "net",
        "net", "org", "io",  "xyz", "cn",  "ru",  "info", "online"};
    static constexpr std::array<const char*, 8> subs = {"www", "ads", "cdn", "track",
                                                        "api", "m",   "static", "img"};
    std::string name;
    // About a third have no subdomain, half one, the rest two or three.
    const int roll = random.between(1, 100);
    const int subCount = roll <= 34 ? 0 : roll <= 87 ? 1 : roll <= 99 ? 2 : 3;
    for (int i = 0; i < subCount; ++i) {
        name += random.percent(40) ? std::string(subs[random.next() % subs.size()])
                                   : label(random, random.between(1, 9));
        name += '.';
    }
    name += label(random, random.between(2, 12)) + base36(index);
    name += '.';
    name += tlds[random.next() % tlds.size()];
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ENTRIES OUTPUT\n", argv[0]);
        return 2;
    }
    const long long entries = std::atoll(argv[1]);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    if (entries < 0 || !out) {
        std::fprintf(stderr, "make_hosts: cannot write %s entries to %s\n", argv[1], argv[2]);
        return 1;
    }
    const std::string crlf = "\r\n";
    out << "# Title: hosts-blacklist benchmark list" << crlf
        << "#" << crlf
        << "# Made up for benchmarks: " << entries << " blocked domains, one per line," << crlf
        << "# in sections, like the blocklists that are pasted into hosts files." << crlf
        << "#" << crlf
        << "# ===============================================================" << crlf
        << crlf
        << "127.0.0.1 localhost" << crlf
        << "127.0.0.1 localhost.localdomain" << crlf
        << "255.255.255.255 broadcasthost" << crlf
        << "::1 localhost" << crlf
        << crlf;
    Random random(20240601);
    long long nextSection = 0;
    int section = 0;
    for (long long i = 0; i < entries; ++i) {
        if (i == nextSection) {
            out << crlf << "# Section " << ++section << ": " << label(random, random.between(4, 24))
                << crlf;
            nextSection = i + random.between(10, 37);
        }
        out << "0.0.0.0 " << domain(random, static_cast<uint64_t>(i)) << crlf;
    }
    out << crlf << "# End of list" << crlf;
    out.flush();
    if (!out) {
        std::fprintf(stderr, "make_hosts: writing %s failed\n", argv[2]);
        return 1;
    }
    return 0;
}
