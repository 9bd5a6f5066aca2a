Scriptname QXAVPF Hidden
; Actor value modifiers. Registered only when [general] enableavpercentfix is on.

Float Function GetAVModifier(Actor akActor, Int aiModifier, String asActorValue) global native
{The actor's modifier of kind aiModifier (for example 1, temporary) for the actor value named asActorValue. 0.0 for a none actor or an unknown actor value name.}
