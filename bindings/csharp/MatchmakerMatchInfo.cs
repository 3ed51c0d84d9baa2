// What the backend last reported about this player's matchable and match.
// Texts are copied out; "" for an empty field. Teams and members are numbered
// from 0 in the library's order (team 0, member 0 is the leader once everyone
// has accepted); users from 1 over all teams. Read the join information when
// StateChanged reports MatchStarted: the restart that follows clears it.
namespace KRMatchmakingSystem {

    public sealed partial class Matchmaker {
        public uint EstimatedHopperSize {
            get { return NativeMethods.krmm_get_estimated_hopper_size(Live); }
        }

        public string GroupId {
            get { return Utf8.Decode(NativeMethods.krmm_get_group_id(Live)); }
        }

        public string HopperId {
            get { return Utf8.Decode(NativeMethods.krmm_get_hopper_id(Live)); }
        }

        public string MatchableId {
            get { return Utf8.Decode(NativeMethods.krmm_get_match_info_matchable_id(Live)); }
        }

        // "" while no match has been found.
        public string MatchId {
            get { return Utf8.Decode(NativeMethods.krmm_get_match_info_match_id(Live)); }
        }

        // The match's "params".
        public string MatchParamsJson {
            get { return Utf8.Decode(NativeMethods.krmm_get_match_info_matched_json_str(Live)); }
        }

        // The leader's join information as the backend reports it.
        public string JoinInfoJson {
            get { return Utf8.Decode(NativeMethods.krmm_get_match_info_join_json_str(Live)); }
        }

        public int UserCount {
            get { return NativeMethods.krmm_get_match_info_num_users(Live); }
        }

        public int AcceptedUserCount {
            get { return NativeMethods.krmm_get_match_info_num_users_accepted(Live); }
        }

        public int TeamCount {
            get { return NativeMethods.krmm_get_match_info_num_teams(Live); }
        }

        // 0 for a team that does not exist.
        public int TeamMemberCount(int team) {
            return NativeMethods.krmm_get_match_info_num_team_members(Live, team);
        }

        // The library's invalid-index text for a team or member that does not
        // exist.
        public string TeamMemberId(int team, int member) {
            return Utf8.Decode(
                NativeMethods.krmm_get_match_info_team_member_id(Live, team, member));
        }

        // The "attributes" of user 1, 2, ...; "" past the last one.
        public string UserAttributesJson(int user) {
            return Utf8.Decode(NativeMethods.krmm_get_match_info_user_json_str(Live, user));
        }
    }

}  // namespace KRMatchmakingSystem
