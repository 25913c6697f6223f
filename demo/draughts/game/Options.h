#pragma once

#include <string>
#include <vector>

#include "Position.h"

namespace Draughts
{

// The draughts program's command line:
//   draughts [--white human|computer|engine] [--black human|computer|engine]
//            [--time SECONDS] [--level 1..10] [--engine "COMMAND [ARGS]"]
//            [--engine-time SECONDS] [--game N] [--glide SECONDS] [FILE.pdn]
//   draughts --dxp-listen [PORT] [--dxp-bind ADDR] [--dxp-initiate] [--dxp-trace] [SIDE] ...
//   draughts --dxp-connect HOST[:PORT] [--dxp-trace] [SIDE] ...
// Options also as --name=value; SECONDS is a plain decimal number ("2", "0.5"). By default
// White is the human and Black the computer; given --engine and no side "engine", the
// engine plays the computer's sides. Over DXP one side is played here (the one named by
// --white or --black, else White by the person), the remote player plays the other (the
// colours being the initiator's choice: a follower plays the colour it is given).
class Options
{
public:
    enum class Outcome
    {
        // Play with the options read.
        Run,
        // --help was asked: print usage() and end with status 0.
        Help,
        // A fault: error() says what in one line; end with status 2.
        Error
    };

    // Reads the arguments after the program's name.
    Outcome parse(const std::vector<std::string>& arguments);
    Outcome parse(int argc, const char* const* argv);

    // The usage text, several lines ending with a line end.
    static std::string usage();

    // Who plays a side: the person, the built-in computer, or the engine program.
    enum class Side
    {
        Human,
        Computer,
        Engine,
        // The remote player of a DXP game.
        Remote
    };
    Side white() const { return m_White; }
    Side black() const { return m_Black; }
    bool whiteIsComputer() const { return m_White == Side::Computer; }
    bool blackIsComputer() const { return m_Black == Side::Computer; }
    // The engine program's command ("" for none) and its time per move (the computer's
    // unless given).
    const std::string& engine() const { return m_Engine; }
    double engineSeconds() const { return m_EngineSeconds > 0.0 ? m_EngineSeconds : m_Seconds; }
    // Thinking time per move of the computer, in seconds (0.05 to 3600).
    double seconds() const { return m_Seconds; }
    // 1 (weak) to 10 (full strength).
    int level() const { return m_Level; }
    // The PDN file to replay, "" for none.
    const std::string& file() const { return m_File; }
    // The file's game to open (from 1, --game N), 0 for none given.
    long game() const { return m_Game; }
    const std::string& error() const { return m_Error; }
    // Seconds a piece takes per square it lands on in the window (0: moves shown at once).
    double glideSeconds() const { return m_Glide; }

    // DXP: none, waiting for the peer, or connecting to it.
    enum class Network
    {
        None,
        Listen,
        Connect
    };
    Network network() const { return m_Network; }
    // The address listened on (--dxp-bind, 127.0.0.1 by default) or the host connected to.
    const std::string& dxpAddress() const { return m_DxpAddress; }
    // 27531 by default; when listening, 0 lets the system choose.
    int dxpPort() const { return m_DxpPort; }
    // Whether this side sends the game request: the connecting side, or the listening one
    // given --dxp-initiate.
    bool dxpInitiates() const { return m_Network == Network::Connect || m_DxpInitiate; }
    // Each DXP message written on standard error.
    bool dxpTrace() const { return m_DxpTrace; }
    // The colour played here when initiating a DXP game.
    Color localColor() const { return m_White == Side::Remote ? Color::Black : Color::White; }

private:
    Outcome readNetwork();

    Outcome fail(const std::string& message);

    Side m_White = Side::Human;
    Side m_Black = Side::Computer;
    std::string m_Engine;
    double m_EngineSeconds = 0.0;
    double m_Seconds = 1.0;
    int m_Level = 5;
    std::string m_File;
    long m_Game = 0;
    std::string m_Error;
    double m_Glide = 0.4;
    bool m_WhiteGiven = false;
    bool m_BlackGiven = false;
    Network m_Network = Network::None;
    std::string m_DxpAddress = "127.0.0.1";
    bool m_DxpBind = false;
    int m_DxpPort = 27531;
    bool m_DxpInitiate = false;
    bool m_DxpTrace = false;
};

} // namespace Draughts
