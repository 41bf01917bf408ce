// The drawing of one frame of the game: the play field, then the texts over
// it. Reads the game and changes nothing but the colours of the sprites and
// the font it draws with. The program's render callback calls RenderScene.
#pragma once

struct Game;
struct Food;
struct Munchet;
struct Player;
struct Scene;

// The whole frame, between Gfx_BeginScene and Gfx_EndScene, through the
// scene's engine (nothing without one). volumeGliding: the music's volume is
// gliding to a new one (the M key), and the volume bar shows.
void RenderScene(Scene& scene, const Game& game, bool volumeGliding = false);

// One object at its place on the field, with the scene's sprites; nothing
// without its sprite.
void Draw(Scene& scene, const Food& food);
void Draw(Scene& scene, const Munchet& munchet);
// The aura, coloured by the charge, then the body.
void Draw(Scene& scene, const Player& player);
