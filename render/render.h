// The drawing of one frame of the game: the play field, then the texts over
// it. Reads the game and changes nothing but the colours of the sprites and
// the font it draws with. Start-up wires RenderScene in as the game's
// renderer (Game::renderer), so that Game::Render draws through it.
#pragma once

struct Game;
struct Food;
struct Munchet;
struct Player;

// The whole frame, between Gfx_BeginScene and Gfx_EndScene. Returns false.
bool RenderScene(const Game& game);

// One object at its place on the field, with the program's sprites; nothing
// without its sprite.
void Draw(const Food& food);
void Draw(const Munchet& munchet);
// The aura, coloured by the charge, then the body.
void Draw(const Player& player);
