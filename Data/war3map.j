//===========================================================================
// 
// VQ MOD
// 
//   Warcraft III map script
//   Map Author: Vornak
// 
//===========================================================================

//***************************************************************************
//*
//*  Global Variables
//*
//***************************************************************************

globals
    // User-defined
    unit                    udg_DirectorEye            = null
    weathereffect           udg_Weather                = null

    // Generated
    camerasetup             gg_cam_Director_View       = null
    camerasetup             gg_cam_Centre_Close        = null
    trigger                 gg_trg_Director_Setup      = null
    trigger                 gg_trg_Director_Commands   = null
endglobals

function InitGlobals takes nothing returns nothing
endfunction

//***************************************************************************
//*
//*  Cameras
//*
//***************************************************************************

function CreateCameras takes nothing returns nothing

    set gg_cam_Director_View = CreateCameraSetup(  )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_ZOFFSET, 0.0, 0.0 )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_ROTATION, 90.0, 0.0 )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_ANGLE_OF_ATTACK, 304.0, 0.0 )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_TARGET_DISTANCE, 2400.0, 0.0 )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_ROLL, 0.0, 0.0 )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_FIELD_OF_VIEW, 70.0, 0.0 )
    call CameraSetupSetField( gg_cam_Director_View, CAMERA_FIELD_FARZ, 5000.0, 0.0 )
    call CameraSetupSetDestPosition( gg_cam_Director_View, 0.0, 0.0, 0.0 )

    set gg_cam_Centre_Close = CreateCameraSetup(  )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_ZOFFSET, 0.0, 0.0 )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_ROTATION, 90.0, 0.0 )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_ANGLE_OF_ATTACK, 320.0, 0.0 )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_TARGET_DISTANCE, 1200.0, 0.0 )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_ROLL, 0.0, 0.0 )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_FIELD_OF_VIEW, 70.0, 0.0 )
    call CameraSetupSetField( gg_cam_Centre_Close, CAMERA_FIELD_FARZ, 5000.0, 0.0 )
    call CameraSetupSetDestPosition( gg_cam_Centre_Close, 0.0, 0.0, 0.0 )

endfunction

//***************************************************************************
//*
//*  Triggers
//*
//***************************************************************************

//===========================================================================
// Trigger: Director Setup
//
// Player 1 is the director. The director watches the game through the Eye:
// the camera follows it, and creatures the director summons appear where it
// stands. Every other player gets a hero of their race at the start.
//===========================================================================
function VQ_PlayableCentreX takes nothing returns real
    return GetRectCenterX(GetPlayableMapRect())
endfunction

function VQ_PlayableCentreY takes nothing returns real
    return GetRectCenterY(GetPlayableMapRect())
endfunction

function VQ_Tell takes string message returns nothing
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 15.0, message )
endfunction

function VQ_ShowHelp takes nothing returns nothing
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 30.0, "You are the director. Move the Eye; the camera follows it." )
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 30.0, "-spawn stalker / brute / sheep : a creature where the Eye stands" )
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 30.0, "-time 0..24 : set the time of day" )
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 30.0, "-weather rain / snow / fog / sun / moon / clear" )
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 30.0, "-music human / undead / elf / victory / off / on" )
    call DisplayTimedTextToPlayer( Player(0), 0.0, 0.0, 30.0, "-help : this list" )
endfunction

function VQ_HeroTypeFor takes player whichPlayer returns integer
    local race r = GetPlayerRace(whichPlayer)
    if r == RACE_ORC then
        return 'Obla'
    elseif r == RACE_UNDEAD then
        return 'Udea'
    elseif r == RACE_NIGHTELF then
        return 'Edem'
    endif
    return 'Hpal'
endfunction

function VQ_GiveChallengerHeroes takes nothing returns nothing
    local integer index = 1
    local player challenger
    local integer startLoc
    loop
        exitwhen index > 3
        set challenger = Player(index)
        if GetPlayerSlotState(challenger) == PLAYER_SLOT_STATE_PLAYING then
            set startLoc = GetPlayerStartLocation(challenger)
            call CreateUnit( challenger, VQ_HeroTypeFor(challenger), GetStartLocationX(startLoc), GetStartLocationY(startLoc), bj_UNIT_FACING )
        endif
        set index = index + 1
    endloop
endfunction

function Trig_Director_Setup_Actions takes nothing returns nothing
    local real x = VQ_PlayableCentreX()
    local real y = VQ_PlayableCentreY()
    call SetTimeOfDay( 12.0 )
    call VQ_GiveChallengerHeroes(  )
    if GetPlayerSlotState(Player(0)) != PLAYER_SLOT_STATE_PLAYING then
        return
    endif
    set udg_DirectorEye = CreateUnit( Player(0), 'e000', x, y, bj_UNIT_FACING )
    // The cameras are stored around the origin; this map's playable area may lie elsewhere.
    call CameraSetupSetDestPosition( gg_cam_Director_View, x, y, 0.0 )
    call CameraSetupApplyForPlayer( true, gg_cam_Director_View, Player(0), 0.0 )
    call SetCameraTargetControllerNoZForPlayer( Player(0), udg_DirectorEye, 0.0, 0.0, false )
    if GetLocalPlayer() == Player(0) then
        // Selection belongs to each machine alone; nothing shared changes here.
        call ClearSelection(  )
        call SelectUnit( udg_DirectorEye, true )
    endif
    call VQ_ShowHelp(  )
endfunction

//===========================================================================
function InitTrig_Director_Setup takes nothing returns nothing
    set gg_trg_Director_Setup = CreateTrigger(  )
    call TriggerRegisterTimerEventSingle( gg_trg_Director_Setup, 0.00 )
    call TriggerAddAction( gg_trg_Director_Setup, function Trig_Director_Setup_Actions )
endfunction

//===========================================================================
// Trigger: Director Commands
//
// Chat commands of the director. Each one changes shared game state only, so
// it has the same effect on every player's machine.
//===========================================================================
function VQ_CommandOf takes string message returns string
    local integer length = StringLength(message)
    local integer index = 0
    loop
        exitwhen index >= length
        exitwhen SubString(message, index, index + 1) == " "
        set index = index + 1
    endloop
    return SubString(message, 0, index)
endfunction

function VQ_ArgumentOf takes string message returns string
    local integer length = StringLength(message)
    local integer start = StringLength(VQ_CommandOf(message)) + 1
    if start >= length then
        return ""
    endif
    return SubString(message, start, length)
endfunction

function VQ_SpawnTypeOf takes string name returns integer
    if name == "stalker" then
        return 'n000'
    elseif name == "brute" then
        return 'n001'
    elseif name == "sheep" then
        return 'nshe'
    endif
    return 0
endfunction

function VQ_Spawn takes string name returns nothing
    local integer unitType = VQ_SpawnTypeOf(name)
    local real x = VQ_PlayableCentreX()
    local real y = VQ_PlayableCentreY()
    if unitType == 0 then
        call VQ_Tell( "No creature called '" + name + "'. Try stalker, brute or sheep." )
        return
    endif
    // The camera's own target (GetCameraTargetPositionX/Y) is known only on the
    // director's machine: a unit made from it would stand somewhere else on
    // every other machine and split the game. The Eye's position is the same
    // everywhere, and the director's camera follows the Eye.
    if udg_DirectorEye != null and GetUnitState(udg_DirectorEye, UNIT_STATE_LIFE) > 0.0 then
        set x = GetUnitX(udg_DirectorEye)
        set y = GetUnitY(udg_DirectorEye)
    endif
    call CreateUnit( Player(PLAYER_NEUTRAL_AGGRESSIVE), unitType, x, y, bj_UNIT_FACING )
endfunction

function VQ_SetTime takes string hour returns nothing
    local real value = S2R(hour)
    if hour == "" or value < 0.0 or value > 24.0 then
        call VQ_Tell( "Give the hour from 0 to 24, for example -time 18" )
        return
    endif
    call SetTimeOfDay( value )
endfunction

function VQ_WeatherIdOf takes string name returns integer
    if name == "rain" then
        return 'RAhr'
    elseif name == "snow" then
        return 'SNls'
    elseif name == "fog" then
        return 'FDwh'
    elseif name == "sun" then
        return 'LRaa'
    elseif name == "moon" then
        return 'LRma'
    endif
    return 0
endfunction

function VQ_SetWeather takes string name returns nothing
    local integer weatherId = VQ_WeatherIdOf(name)
    if weatherId == 0 and name != "clear" then
        call VQ_Tell( "Weather is rain, snow, fog, sun, moon or clear." )
        return
    endif
    if udg_Weather != null then
        call EnableWeatherEffect( udg_Weather, false )
        call RemoveWeatherEffect( udg_Weather )
        set udg_Weather = null
    endif
    if weatherId != 0 then
        set udg_Weather = AddWeatherEffect( GetPlayableMapRect(), weatherId )
        call EnableWeatherEffect( udg_Weather, true )
    endif
endfunction

function VQ_MusicFileOf takes string name returns string
    if name == "human" then
        return "Sound\\Music\\mp3Music\\Human1.mp3"
    elseif name == "undead" then
        return "Sound\\Music\\mp3Music\\Undead1.mp3"
    elseif name == "elf" then
        return "Sound\\Music\\mp3Music\\NightElf2.mp3"
    elseif name == "victory" then
        return "Sound\\Music\\mp3Music\\HeroicVictory.mp3"
    endif
    return ""
endfunction

function VQ_SetMusic takes string name returns nothing
    local string file = VQ_MusicFileOf(name)
    if name == "off" then
        call StopMusic( true )
    elseif name == "on" then
        call ResumeMusic(  )
    elseif file == "" then
        call VQ_Tell( "Music is human, undead, elf, victory, off or on." )
    else
        // Stopping first avoids the stall that starting a new piece over a playing one causes.
        call StopMusic( false )
        call PlayMusic( file )
    endif
endfunction

function Trig_Director_Commands_Actions takes nothing returns nothing
    local string message = GetEventPlayerChatString()
    local string command = VQ_CommandOf(message)
    local string argument = VQ_ArgumentOf(message)
    if command == "-spawn" then
        call VQ_Spawn( argument )
    elseif command == "-time" then
        call VQ_SetTime( argument )
    elseif command == "-weather" then
        call VQ_SetWeather( argument )
    elseif command == "-music" then
        call VQ_SetMusic( argument )
    elseif command == "-help" then
        call VQ_ShowHelp(  )
    endif
endfunction

//===========================================================================
function InitTrig_Director_Commands takes nothing returns nothing
    set gg_trg_Director_Commands = CreateTrigger(  )
    call TriggerRegisterPlayerChatEvent( gg_trg_Director_Commands, Player(0), "-", false )
    call TriggerAddAction( gg_trg_Director_Commands, function Trig_Director_Commands_Actions )
endfunction

//===========================================================================
function InitCustomTriggers takes nothing returns nothing
    call InitTrig_Director_Setup(  )
    call InitTrig_Director_Commands(  )
endfunction

//***************************************************************************
//*
//*  Players
//*
//***************************************************************************

function InitCustomPlayerSlots takes nothing returns nothing

    // Player 0
    call SetPlayerStartLocation( Player(0), 0 )
    call SetPlayerColor( Player(0), ConvertPlayerColor(0) )
    call SetPlayerRacePreference( Player(0), RACE_PREF_HUMAN )
    call SetPlayerRaceSelectable( Player(0), true )
    call SetPlayerController( Player(0), MAP_CONTROL_USER )

    // Player 1
    call SetPlayerStartLocation( Player(1), 1 )
    call SetPlayerColor( Player(1), ConvertPlayerColor(1) )
    call SetPlayerRacePreference( Player(1), RACE_PREF_ORC )
    call SetPlayerRaceSelectable( Player(1), true )
    call SetPlayerController( Player(1), MAP_CONTROL_USER )

    // Player 2
    call SetPlayerStartLocation( Player(2), 2 )
    call SetPlayerColor( Player(2), ConvertPlayerColor(2) )
    call SetPlayerRacePreference( Player(2), RACE_PREF_UNDEAD )
    call SetPlayerRaceSelectable( Player(2), true )
    call SetPlayerController( Player(2), MAP_CONTROL_USER )

    // Player 3
    call SetPlayerStartLocation( Player(3), 3 )
    call SetPlayerColor( Player(3), ConvertPlayerColor(3) )
    call SetPlayerRacePreference( Player(3), RACE_PREF_NIGHTELF )
    call SetPlayerRaceSelectable( Player(3), true )
    call SetPlayerController( Player(3), MAP_CONTROL_USER )

endfunction

function InitCustomTeams takes nothing returns nothing
    // Force: TRIGSTR_009
    call SetPlayerTeam( Player(0), 0 )

    // Force: TRIGSTR_010
    call SetPlayerTeam( Player(1), 1 )

    // Force: TRIGSTR_011
    call SetPlayerTeam( Player(2), 2 )

    // Force: TRIGSTR_012
    call SetPlayerTeam( Player(3), 3 )

endfunction

//***************************************************************************
//*
//*  Main Initialization
//*
//***************************************************************************

//===========================================================================
function main takes nothing returns nothing
    call SetCameraBounds( -3328.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), -3584.0 + GetCameraMargin(CAMERA_MARGIN_BOTTOM), 3328.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), 3072.0 - GetCameraMargin(CAMERA_MARGIN_TOP), -3328.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), 3072.0 - GetCameraMargin(CAMERA_MARGIN_TOP), 3328.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), -3584.0 + GetCameraMargin(CAMERA_MARGIN_BOTTOM) )
    call SetDayNightModels( "Environment\\DNC\\DNCLordaeron\\DNCLordaeronTerrain\\DNCLordaeronTerrain.mdl", "Environment\\DNC\\DNCLordaeron\\DNCLordaeronUnit\\DNCLordaeronUnit.mdl" )
    call NewSoundEnvironment( "Default" )
    call SetAmbientDaySound( "LordaeronSummerDay" )
    call SetAmbientNightSound( "LordaeronSummerNight" )
    call SetMapMusic( "Music", true, 0 )
    call CreateCameras(  )
    call InitBlizzard(  )
    call InitGlobals(  )
    call InitCustomTriggers(  )

endfunction

//***************************************************************************
//*
//*  Map Configuration
//*
//***************************************************************************

function config takes nothing returns nothing
    call SetMapName( "TRIGSTR_001" )
    call SetMapDescription( "TRIGSTR_003" )
    call SetPlayers( 4 )
    call SetTeams( 4 )
    call SetGamePlacement( MAP_PLACEMENT_USE_MAP_SETTINGS )

    call DefineStartLocation( 0, 0.0, 0.0 )
    call DefineStartLocation( 1, 0.0, 0.0 )
    call DefineStartLocation( 2, 0.0, 0.0 )
    call DefineStartLocation( 3, 0.0, 0.0 )

    // Player setup
    call InitCustomPlayerSlots(  )
    call InitCustomTeams(  )
endfunction
