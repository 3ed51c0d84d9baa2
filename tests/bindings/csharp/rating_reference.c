// The C side of the C# binding's test: rates the matches it reads with the
// library, so the test compares the binding with a C caller on the same
// inputs. One match per line,
//     method parameter team_count {rank player_count {field}...}...
// (method elo, glicko2 or bayesian; elo ignores the parameter), every double
// as the 16 hexadecimal digits of its bits so nothing is lost in text. Prints
// the result, then every player's fields after the call, the same way.
// "layout" as the only argument prints each rating record's size and field
// offsets instead.
#include <inttypes.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "KRMatchmakingSystem.h"

#define MAX_TEAMS 64
#define MAX_FIELDS 4096

// Sizes and offsets as unsigned: every C runtime prints that.
#define SIZE(T) (unsigned)sizeof(T)
#define AT(T, field) (unsigned)offsetof(T, field)

static void PrintLayout(void) {
    printf("EloPlayer %u %u %u\n", SIZE(EloPlayer), AT(EloPlayer, rating), AT(EloPlayer, k_factor));
    printf("EloTeam %u %u %u %u\n", SIZE(EloTeam), AT(EloTeam, rank), AT(EloTeam, players),
           AT(EloTeam, player_count));
    printf("Glicko2Player %u %u %u %u\n", SIZE(Glicko2Player), AT(Glicko2Player, rating),
           AT(Glicko2Player, deviation), AT(Glicko2Player, volatility));
    printf("Glicko2Team %u %u %u %u\n", SIZE(Glicko2Team), AT(Glicko2Team, rank),
           AT(Glicko2Team, players), AT(Glicko2Team, player_count));
    printf("BayesianPlayer %u %u %u\n", SIZE(BayesianPlayer), AT(BayesianPlayer, mu),
           AT(BayesianPlayer, sigma));
    printf("BayesianTeam %u %u %u %u\n", SIZE(BayesianTeam), AT(BayesianTeam, rank),
           AT(BayesianTeam, players), AT(BayesianTeam, player_count));
}

static int ReadDouble(double* value) {
    uint64_t bits;
    if (scanf("%" SCNx64, &bits) != 1) {
        return 0;
    }
    memcpy(value, &bits, sizeof bits);
    return 1;
}

static void PrintDouble(double value) {
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    printf(" %016" PRIx64, bits);
}

// The three methods share one team shape; only the player records differ.
static int Rate(const char* method, double parameter, uint32_t team_count, const uint32_t* ranks,
                double* fields, const uint32_t* counts, size_t per_player) {
    EloTeam elo[MAX_TEAMS];
    Glicko2Team glicko2[MAX_TEAMS];
    BayesianTeam bayesian[MAX_TEAMS];
    size_t offset = 0;
    for (uint32_t i = 0; i < team_count; ++i) {
        double* players = counts[i] > 0 ? fields + offset : NULL;
        elo[i] = (EloTeam){ranks[i], (EloPlayer*)players, counts[i]};
        glicko2[i] = (Glicko2Team){ranks[i], (Glicko2Player*)players, counts[i]};
        bayesian[i] = (BayesianTeam){ranks[i], (BayesianPlayer*)players, counts[i]};
        offset += counts[i] * per_player;
    }
    if (strcmp(method, "elo") == 0) {
        return krmm_rating_elo_update(elo, team_count);
    }
    if (strcmp(method, "glicko2") == 0) {
        return krmm_rating_glicko2_update(parameter, glicko2, team_count);
    }
    return krmm_rating_bayesian_update(parameter, bayesian, team_count);
}

int main(int argc, char** argv) {
    static double fields[MAX_FIELDS];
    char method[16];
    if (argc == 2 && strcmp(argv[1], "layout") == 0) {
        PrintLayout();
        return 0;
    }
    while (scanf("%15s", method) == 1) {
        const size_t per_player = strcmp(method, "glicko2") == 0 ? 3 : 2;
        uint32_t ranks[MAX_TEAMS], counts[MAX_TEAMS], team_count;
        size_t total = 0;
        double parameter;
        if (!ReadDouble(&parameter) || scanf("%" SCNu32, &team_count) != 1 ||
            team_count > MAX_TEAMS) {
            return 2;
        }
        for (uint32_t i = 0; i < team_count; ++i) {
            if (scanf("%" SCNu32 " %" SCNu32, &ranks[i], &counts[i]) != 2 ||
                total + counts[i] * per_player > MAX_FIELDS) {
                return 2;
            }
            for (size_t f = 0; f < counts[i] * per_player; ++f) {
                if (!ReadDouble(&fields[total++])) {
                    return 2;
                }
            }
        }
        printf("%d", Rate(method, parameter, team_count, ranks, fields, counts, per_player));
        for (size_t f = 0; f < total; ++f) {
            PrintDouble(fields[f]);
        }
        printf("\n");
    }
    return 0;
}
