#pragma once
// The notice box at the lower right, drawn from the notices' state: a help
// notice's rows or an operation notice's lines. Owns no state.

// Draws the current notice unless a hold protects the shown one or it is
// shown already (see takeNoticeToDraw).
void drawNotice();
