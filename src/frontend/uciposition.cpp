// "position startpos | fen <FEN> [moves m1 m2 ...]": a fresh game from the
// start or the FEN, then the moves replayed, each checked against the legal
// moves of its position.
#include <cstring>

#include "frontend/frontend.h"

void UCIProtocol::Position() {
    const int movesAt = Words.Find("moves");
    if (std::strcmp(Words[1], "startpos") == 0) {
        MainBoard.InitRep();
        MainBoard.Chess960 = UCI.Chess960;
        MainBoard.FiftyMoveCount = 0;
    } else if (std::strcmp(Words[1], "fen") == 0) {
        // The FEN's fields, however they were spaced, as the reader wants them.
        char fen[UCIWords::LineLength];
        Words.Join(2, movesAt, fen, sizeof fen);
        const int result =
            SetupBoard(fen, UCI.Chess960 ? CastlingRules::Chess960 : CastlingRules::Standard);
        if (result != SetupOk) {
            InfoString("invalid FEN (%s%s), the position stays as it was: %.200s",
                       SetupResultText(result),
                       result == SetupCastlingNeeds960 ? ": UCI_Chess960 plays it" : "", fen);
            return;
        }
        WriteLogFile(fen);
    } else {
        InfoString("position wants startpos or fen: %.200s", Words[1]);
        return;
    }
    Settings.initVars();
    Settings.Game.OpponentToMove = 1;
    UCI.Searcher->ClearHistory();
    StartGameRecord();
    if (movesAt < Words.Count) ProcessMoves(movesAt + 1);
}

int UCIProtocol::ProcessMoves(int first) {
    int count = 0;
    for (int i = first; i < Words.Count; ++i, ++count) {
        if (!MakeMoves(Words[i])) {
            InfoString("illegal move %.20s, the moves stop before it", Words[i]);
            break;
        }
    }
    return count;
}

bool UCIProtocol::MakeMoves(const char* moveText) {
    GameMove move;
    if (!ParseGameMove(MainBoard, moveText, &move)) return false;
    PlayGameMove(move);
    return true;
}
