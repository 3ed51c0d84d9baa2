// The header's enumerations, with the same values.
using System;

namespace KRMatchmakingSystem {

    public enum MatchmakingState {
        Init = 0,
        Idle = 1,
        Restart = 2,
        RequestTicket = 3,
        InitialKeepalive = 4,
        InitialWaiting = 5,
        Matching = 6,
        Matched = 7,
        AcceptMatch = 8,
        AcceptedLeader = 9,
        AcceptedFollower = 10,
        MatchStartedWait = 11,
        MatchStarted = 12,
        ErrExpired = 13,
        ErrDeclined = 14
    }

    public enum MatchmakingError {
        None = 0,
        RequestTicketFailed = 1,
        InitialKeepaliveRequestFailed = 2,
        InitialKeepaliveUnexpectedState = 3,
        TicketExpired = 4,
        UnexpectedHyState = 5,
        InitialAcceptMatchRequestFailed = 6,
        InitialDeclineMatchRequestFailed = 7,
        InitialStartMatchRequestFailed = 8,
        KeepaliveRequestFailed = 9,
        NotMatchmaking = 10,
        AlreadyMatchmaking = 11,
        NotInMatch = 12,
        CreateProofFailed = 13,
        TimeoutWaitingForOtherAccept = 14,
        TimeoutWaitingForLocalAccept = 15,
        TimeoutFollowerWaitForJoinInfo = 16,
        TimeoutLeaderFindingServer = 17,
        TimeoutFindingMatch = 18,
        HopperDoesNotExist = 19,
        RequestTicketUserParamsIncorrect = 20,
        RequestTicketServerError = 21
    }

    // One bit per log line type.
    public enum LogType {
        Nfo = 1,
        Dbg = 2,
        Wrn = 4,
        Err = 8,
        Hyd = 16,
        Hyn = 32,
        Hyw = 64,
        Hye = 128,
        Tsn = 256,
        Tsd = 512,
        Tsw = 1024,
        Tse = 2048
    }

    [Flags]
    public enum MatchmakerFlags : uint {
        None = 0,
        LogHyInfo = 0x001,
        LogHyErrors = 0x002,
        LogTsInfo = 0x004,
        LogTsErrors = 0x008,
        LogInfo = 0x010,
        LogDebug = 0x020,
        LogWarning = 0x040,
        LogError = 0x080,
        AutoAccept = 0x100,
        AutoStart = 0x200,
        LogAll = 0x0FF
    }

    // The loopback's request kinds (hyl_kind).
    public enum RequestKind {
        Ticket = 0,
        Keepalive,
        Accept,
        Cancel,
        Start,
        CreateProof,
        CheckProof,
        CreateManualProof,
        GetObject,
        MarkIdentityActive
    }

}  // namespace KRMatchmakingSystem
