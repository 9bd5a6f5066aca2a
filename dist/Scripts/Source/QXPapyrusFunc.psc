Scriptname QXPapyrusFunc Hidden
; Books: what they teach, whether they were read, and counts of skill books.
; What a book teaches is what a setter last made it teach, else what it taught when the game's
; data loaded. QXKit remembers it, since reading a book clears the game's flag of what it
; teaches: a read book teaches nothing more, and a spell is never given as a skill's index.

SoundDescriptor Function GetBookSoundUp(Book akBook) global native
{The sound the book plays when picked up.}

SoundDescriptor Function GetBookSoundDown(Book akBook) global native
{The sound the book plays when put down.}

Int Function GetNumSkillBooksReadFor(String asSkill, Bool abRecount) global native
{The number of read skill books for the skill (an actor value name such as "OneHanded"), recounted first with abRecount.}

Int Function GetNumSkillBooksRead(Bool abRecount) global native
{The number of read skill books of all skills, recounted first with abRecount.}

Int Function GetNumSkillBooksFor(String asSkill) global native
{The number of skill books for the skill.}

Int Function GetNumSkillBooks() global native
{The number of skill books in the game's data.}

Int Function GetNumSpellBooks() global native
{The number of spell books in the game's data.}

Bool Function IsSkillBook(Book akBook) global native
{Whether the book teaches (or taught, when the game's data loaded) a skill.}

Bool Function IsSpellBook(Book akBook) global native
{Whether the book teaches (or taught, when the game's data loaded) a spell.}

Int Function GetSkill(Book akBook) global native
{The actor value index of the skill the book teaches, or -1. A read book answers the skill it is remembered to teach; -1 when another module changed its value since, and for a book RemoveBookSkillSpell emptied.}

Bool Function IsSkill(Book akBook, String asSkill) global native
{Whether the book teaches the named skill.}

Spell Function GetSpell(Book akBook) global native
{The spell the book teaches, or none. A read book answers the spell it is remembered to teach; none when another module changed its value since, and for a book RemoveBookSkillSpell emptied.}

Function SetIsRead(Book akBook, Bool abRead) global native
{Marks the book read or unread. Read, the book loses the flag of what it is remembered to teach (a skill book given a spell loses the spell flag, 0x04); unread, it gets that flag back, unless another module changed its value since or it teaches nothing.}

Function SetBookSkill(Book akBook, String asSkill) global native
{Makes the book teach the named skill.}

Function SetBookSpell(Book akBook, Spell akSpell) global native
{Makes the book teach the spell.}

Function RemoveBookSkillSpell(Book akBook) global native
{Makes the book teach nothing: marked unread later, it gets no flag back over its value of 0.}
