#include <gtest/gtest.h>

#include <vector>

#include "rating/Bayesian.h"
#include "rating/Glicko2.h"
#include "rating/RatingMatch.h"
#include "rating/RecordedMatches.h"

// Speed work on the updates must not move a single bit of their results: the
// expected values below were recorded from the straightforward implementation
// (commit 76a7af1), in player order, as exact hexadecimal literals. Every one
// is finite and non-zero, so equal doubles are equal bits.
namespace KRMatchmakingSystem {
namespace {

// rating, deviation and volatility of every player
const std::vector<double> kGlicko2Results[] = {
    // even pair drawn
    {0x1.77p+10, 0x1.2251a777e41e9p+8, 0x1.eb82f126270cp-5, 0x1.77p+10, 0x1.2251a777e41e9p+8,
     0x1.eb82f126270cp-5},
    // even pair, first wins
    {0x1.9f93e5af8e056p+10, 0x1.2251a79b31529p+8, 0x1.eb84706fd5799p-5, 0x1.4e6c1a5071faap+10,
     0x1.2251a79b31529p+8, 0x1.eb84706fd5799p-5},
    // seeded 5 v 5
    {0x1.49aa11b89b635p+10, 0x1.d527c37057ccp+6,   0x1.3ede1a257a4a7p-4,  0x1.25722da805554p+10,
     0x1.82318d065d501p+6,  0x1.df7b51ec2e47p-5,   0x1.1e38f26c2d3cdp+10, 0x1.077d6d23b17b1p+7,
     0x1.96e9f8a6172d6p-5,  0x1.51d8b4e1ab304p+10, 0x1.462da6f7daa66p+7,  0x1.b13871cef9c02p-5,
     0x1.60ba38172a49fp+10, 0x1.331d8dba22ae3p+7,  0x1.cd96684ca39cap-5,  0x1.e6319f0b7e3ccp+10,
     0x1.61510b3ff27abp+7,  0x1.c76d1377c8cf9p-5,  0x1.ebe8b48799a42p+10, 0x1.8e9ff5a7f9cb4p+7,
     0x1.36b35f25923a3p-4,  0x1.c24da87d89238p+10, 0x1.071ec7527ee12p+6,  0x1.f14523086e581p-5,
     0x1.cf2d8de67263cp+10, 0x1.5b17bf3ff6c8ep+7,  0x1.1cad259c01709p-4,  0x1.764eeef7f0efbp+10,
     0x1.c3ca38b94693p+6,   0x1.4ea101c8eef77p-5},
    // seeded 1 v 4
    {0x1.8250da469cd18p+10, 0x1.4f6bd51aa3f3ap+7, 0x1.e661e4755a8a6p-5, 0x1.8d4f20737e0a4p+10,
     0x1.5f067ba0842e4p+7, 0x1.1ebec8b0b2885p-4, 0x1.92a5ba5e9e7acp+10, 0x1.3f3652159a728p+6,
     0x1.16449e3beb2b2p-4, 0x1.8fedd1f6573p+10, 0x1.c2aa22b54e47ap+6, 0x1.1b97ab2e05ac6p-4,
     0x1.a011fc69be67bp+10, 0x1.6a04684ff00bbp+7, 0x1.20fe1ca62e04fp-4},
    // seeded 6 v 3
    {0x1.1ae02cab01a43p+10, 0x1.a7d65cc568a3ep+7,  0x1.ec1292e40bc47p-5,  0x1.3708fa59f5873p+10,
     0x1.0c48de28a2c1fp+7,  0x1.988af85d7a359p-5,  0x1.5d075a5a907b1p+10, 0x1.6d05a6a536b1ep+7,
     0x1.14e6c6fe71c98p-4,  0x1.35a37d8bf918dp+10, 0x1.7a5e8b99c5255p+7,  0x1.e2893b3aadfe1p-5,
     0x1.69caf9c031e15p+10, 0x1.15ebb63d03468p+7,  0x1.3f91b61d6fed1p-4,  0x1.2d3f5c233b9edp+10,
     0x1.0374c9abfd019p+7,  0x1.bc88576cd5c1ep-5,  0x1.8dfa4b75276d5p+10, 0x1.d7e3478ea8d9fp+6,
     0x1.a2d5dce77e41fp-5,  0x1.c41746d4758dcp+10, 0x1.f44c23d6fd3a3p+6,  0x1.c80c144bce05p-5,
     0x1.cd5055a38ad36p+10, 0x1.217e06f9dc9aep+7,  0x1.715ea45de62dp-5},
    // seeded 2 v 2
    {0x1.51b2189aca468p+10, 0x1.ea1633d3ffd14p+7, 0x1.22a0a99b5415p-4, 0x1.9d2bd3f640cc4p+10,
     0x1.f042db7434ad4p+5, 0x1.3f02ceb8347fep-4, 0x1.5bca8e97d1535p+10, 0x1.d09f327ef93c5p+7,
     0x1.7376bf81bf14bp-5, 0x1.764253a57d7b9p+10, 0x1.eabd27f4d3bfdp+7, 0x1.2954a5243f299p-4},
    // seeded 17 v 2
    {0x1.83570f5790cap+10,  0x1.2aa6f6d71ff7fp+7,  0x1.40e914be95aaap-4,  0x1.7df5a8f19a87ap+10,
     0x1.e9a5772991e68p+5,  0x1.4be16f987076ap-5,  0x1.6364f0e0ef16cp+10, 0x1.52de82ab2834dp+7,
     0x1.41ef16b9ff9e5p-4,  0x1.5a34a977de239p+10, 0x1.b9c731087b943p+7,  0x1.db6e82096a7ebp-5,
     0x1.7a06c2f9529fdp+10, 0x1.1f50b86cfcbd7p+7,  0x1.8f10d672ea782p-5,  0x1.567c481d4958fp+10,
     0x1.38c5d19ba565dp+5,  0x1.9d234fb936b12p-5,  0x1.69c3e433c9f9fp+10, 0x1.b6d700cfe3a9fp+7,
     0x1.d9e45422ff305p-5,  0x1.81f50dd536901p+10, 0x1.6ba5958afd2aep+7,  0x1.7eaa08d42bd7dp-5,
     0x1.3e2258db8a1fcp+10, 0x1.5464572ab78bfp+7,  0x1.f7751e20b0746p-5,  0x1.b3eeb2d435c48p+10,
     0x1.f374e51c20d4fp+5,  0x1.a60d7c16bd817p-5,  0x1.8f66ac7b51ebep+10, 0x1.1996bc9edfd9bp+7,
     0x1.a7945129d2f8fp-5,  0x1.7e3f7cc8230d4p+10, 0x1.b87ddca18b2e2p+5,  0x1.db37f8b4768ffp-5,
     0x1.9aaed2f7ba418p+10, 0x1.0f09826241219p+7,  0x1.2f1299956b6cp-4,   0x1.a78d5c62eb506p+10,
     0x1.1de802058c9f8p+5,  0x1.062e19c1b6ba9p-4,  0x1.2c3be3f46998cp+10, 0x1.8aea016756988p+6,
     0x1.31d82e7cacaeep-4,  0x1.5a797a0633b41p+10, 0x1.76236fa21c502p+6,  0x1.75c30863d510fp-5,
     0x1.a305022593f18p+10, 0x1.fa76d994c0152p+5,  0x1.1186b157442b8p-4,  0x1.ef77e50fc10e6p+10,
     0x1.7f8ee35dc6524p+6,  0x1.02b57b7efcd37p-4,  0x1.d84907513ac84p+10, 0x1.287265b89b5ap+6,
     0x1.6bb40bad4b9d8p-5},
};

// mu and sigma of every player
const std::vector<double> kBayesianResults[] = {
    // fresh pair
    {0x1.ba29e86216983p+4, 0x1.0218a0b3c9507p+3, 0x1.65d6179de967dp+4, 0x1.0218a0b3c9507p+3},
    // three with tied runners-up
    {0x1.e453d0c42d307p+4, 0x1.f2765f0a62157p+2, 0x1.65d6179de967dp+4, 0x1.f2765f0a62157p+2,
     0x1.65d6179de967dp+4, 0x1.f2765f0a62157p+2},
    // shares follow variance
    {0x1.e4163b136b40dp+4, 0x1.3e486a12feb1ap+2, 0x1.4a7659cb50022p+4, 0x1.f8efd0d8d00fp+2,
     0x1.84a5cdad9d2f7p+4, 0x1.0724459031ce9p+3},
    // seeded 5 v 5
    {0x1.032a42c039bcbp+5, 0x1.e50d269d5f741p+1, 0x1.b2e481a10568dp+4, 0x1.e1c62cf2831c1p+1,
     0x1.27cdc926a716cp+4, 0x1.6ce3c7cbac489p+1, 0x1.13771bb74fbd1p+4, 0x1.c0c1ed5165aa9p+2,
     0x1.e0dc4ed9fd90ep+4, 0x1.0938e804e01f8p+2, 0x1.e8c5fe320540fp+4, 0x1.c295560ad604dp+2,
     0x1.618342a14eab5p+4, 0x1.ee52a7f018d86p+2, 0x1.2975ef0946502p+4, 0x1.6be20501c562bp+0,
     0x1.14b03c4eab558p+4, 0x1.62a9cc11e3f2cp+2, 0x1.ba08daf9ba576p+4, 0x1.fef3fd2b57e27p+2},
    // seeded 1 v 3 v 2
    {0x1.12886660b429ap+5, 0x1.f2eb497f983fdp+2, 0x1.6c60b929e8f54p+4, 0x1.96982620afe3cp+2,
     0x1.20a96a36e4e34p+4, 0x1.1241a1de59173p+1, 0x1.0e175a13821p+5, 0x1.488fcc14ecd27p+1,
     0x1.4df928a507a06p+4, 0x1.b3db6c36bf35fp+1, 0x1.7bfc854d40e8bp+4, 0x1.ceadfa4d113ep+2},
    // seeded 4 v 1 v 6 v 2
    {0x1.e3e362e183221p+3, 0x1.1d68e5c99f27fp+2, 0x1.9c5dc78daeb84p+4, 0x1.5b66d74956271p+2,
     0x1.bb712481881afp+4, 0x1.5a11833f92f44p+2, 0x1.e2734121384ap+3,  0x1.df1669e9228aep+2,
     0x1.ab22e8c6fb456p+4, 0x1.51707d31e9bb5p+2, 0x1.f9c6c5b331292p+4, 0x1.fb5abf1759bb3p+2,
     0x1.7290763ef96ddp+4, 0x1.64355de75f565p+2, 0x1.6d16a2b37c872p+4, 0x1.960b94155d3d9p+0,
     0x1.a26887d9f2e05p+4, 0x1.f6f9c04c7d5d1p+1, 0x1.c42465289a2e6p+4, 0x1.cca43d7cb6278p+2,
     0x1.3d80e0afdce6p+4,  0x1.12f65fa1c5fafp+0, 0x1.66bc3b08a02b8p+4, 0x1.6ccc98aa7b88ap+0,
     0x1.16f839d42557p+5,  0x1.f99ad79f91701p+2},
    // seeded 9 v 9 v 9
    {0x1.afa2a3f922f97p+4, 0x1.491645c6789fap+2, 0x1.008f1e87ad52fp+5, 0x1.27639d79b4235p+2,
     0x1.a08be0cc7a028p+4, 0x1.395ea255f77d5p+2, 0x1.34d867024d58ep+4, 0x1.7283ae93cd3ddp+2,
     0x1.af0cd0a119442p+4, 0x1.f1faba3b176b7p+0, 0x1.32999063c8151p+4, 0x1.f64acd54d4d89p+2,
     0x1.072301b0f67dcp+4, 0x1.1d4ae912a6af2p+2, 0x1.3f4089eb34838p+4, 0x1.f65571232c4fep+2,
     0x1.72346c1592ea5p+4, 0x1.9e12ee059240cp+2, 0x1.5611593fe14fep+4, 0x1.d620976c0eafp+0,
     0x1.5c6f52cce8819p+4, 0x1.2200cc53e0083p+1, 0x1.1b11afb7dd2fdp+4, 0x1.e15b353512023p+2,
     0x1.f49937814961p+4,  0x1.c767cf2348d42p+2, 0x1.f11cdc0f5ffp+4,   0x1.de12b8b5b46efp+1,
     0x1.70dfe7f5f56abp+4, 0x1.1cc66388da941p+1, 0x1.19fb330098131p+4, 0x1.36dc8c65a9159p+2,
     0x1.0361875a48221p+5, 0x1.a8fbe06a61ca5p+1, 0x1.37836917fb89ap+4, 0x1.888d336088bddp+2,
     0x1.9f7296d3a4773p+4, 0x1.ad2cd3649a9aap+1, 0x1.90012167927e9p+4, 0x1.d17792c56107dp+2,
     0x1.1ad6b6e34ab05p+4, 0x1.e56f91b13027ep+2, 0x1.d63d3678c08bbp+4, 0x1.7b0fda0181ecap+1,
     0x1.d2854df1967eap+3, 0x1.c155f1875628fp+1, 0x1.03016e78721c2p+4, 0x1.7ab358e0e1dbcp+2,
     0x1.f25200f594fcdp+3, 0x1.a8f035ccc0a9cp+2, 0x1.7aeb966f67bedp+4, 0x1.c9ec6e7c42052p+2,
     0x1.67b3d41e80785p+4, 0x1.fa79c3d3284fdp+2},
    // seeded 1 v 1 v 1 v 1 v 1 v 1 v 1 v 1 v 1
    {0x1.a9924be59c88bp+4, 0x1.884b70263b74dp+1, 0x1.3577418a4b37ep+4, 0x1.2cb647a2003fep+1,
     0x1.f1dbfc14d16eep+4, 0x1.75a38f47ef274p+1, 0x1.eab74cdc4d26cp+4, 0x1.1a55b26988bbfp+0,
     0x1.9a8a69ec46575p+4, 0x1.7bdc3d59ee78p+0, 0x1.09571001775fap+5, 0x1.3152a9e3adb92p+1,
     0x1.6749c632d819ep+3, 0x1.cac61015e0489p+1, 0x1.16c632b178c14p+4, 0x1.ba2ca88474c3bp+1,
     0x1.bbc0bf97cb7bp+3, 0x1.a4e246a855687p+1},
};

// Rates every recorded match with update and compares every player's values,
// in order, with the recorded ones.
template <class Team, class Player, class Update, class Values, std::size_t kCount>
void ExpectRecordedResults(const std::vector<RecordedMatch<Player>>& matches,
                           const std::vector<double> (&recorded)[kCount], Update update,
                           Values values) {
    ASSERT_EQ(matches.size(), kCount);
    for (std::size_t m = 0; m < kCount; ++m) {
        SCOPED_TRACE(matches[m].name);
        RatingMatch<Team, Player> match;
        for (std::size_t t = 0; t < matches[m].rosters.size(); ++t) {
            match.Add(matches[m].ranks[t], matches[m].rosters[t]);
        }
        ASSERT_TRUE(update(matches[m].parameter, match.teams(), match.size()));
        std::vector<double> results;
        for (std::size_t t = 0; t < match.size(); ++t) {
            for (const Player& player : match.roster(t)) {
                const std::vector<double> more = values(player);
                results.insert(results.end(), more.begin(), more.end());
            }
        }
        ASSERT_EQ(results.size(), recorded[m].size());
        for (std::size_t i = 0; i < results.size(); ++i) {
            EXPECT_EQ(results[i], recorded[m][i]) << "value " << i << ": " << std::hexfloat
                                                  << results[i] << " instead of " << recorded[m][i];
        }
    }
}

TEST(RecordedResults, Glicko2) {
    ExpectRecordedResults<Glicko2Team>(
        RecordedGlicko2Matches(), kGlicko2Results, Glicko2Update, [](const Glicko2Player& p) {
            return std::vector<double>{p.rating, p.deviation, p.volatility};
        });
}

TEST(RecordedResults, Bayesian) {
    ExpectRecordedResults<BayesianTeam>(RecordedBayesianMatches(), kBayesianResults, BayesianUpdate,
                                        [](const BayesianPlayer& p) {
                                            return std::vector<double>{p.mu, p.sigma};
                                        });
}

}  // namespace
}  // namespace KRMatchmakingSystem
