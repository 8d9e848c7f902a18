<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="fr_FR">
<context>
    <name>KvoLoginDialog</name>
    <message>
        <source>Vistrelle - Connexion</source>
        <translation>Vistrelle - Sign in</translation>
    </message>
    <message>
        <source>Connexion</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Connectez-vous avec votre compte pour retrouver vos formations.</source>
        <translation>Sign in with your account to find your courses.</translation>
    </message>
    <message>
        <source>IDENTIFIANT</source>
        <translation>USERNAME</translation>
    </message>
    <message>
        <source>Votre identifiant</source>
        <translation>Your username</translation>
    </message>
    <message>
        <source>MOT DE PASSE</source>
        <translation>PASSWORD</translation>
    </message>
    <message>
        <source>Votre mot de passe</source>
        <translation>Your password</translation>
    </message>
    <message>
        <source>Se souvenir de moi</source>
        <translation>Remember me</translation>
    </message>
    <message>
        <source>Se connecter</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Connexion en cours…</source>
        <translation>Signing in…</translation>
    </message>
</context>
<context>
    <name>KvoMessageBox</name>
    <message>
        <source>Une instance du Vistrelle est déjà lancée !</source>
        <translation>An instance of Vistrelle is already running!</translation>
    </message>
    <message>
        <source>Fermez l&apos;instance et relancez cette application.
Si le problème persiste, veuillez prendre contact avec le support.</source>
        <translation>Close that instance and start this application again.
If the problem persists, please contact support.</translation>
    </message>
</context>
<context>
    <name>KvoSignIn</name>
    <message>
        <source>Veuillez saisir votre identifiant et votre mot de passe.</source>
        <translation>Please enter your username and your password.</translation>
    </message>
    <message>
        <source>Identifiant ou mot de passe incorrect.</source>
        <translation>Wrong username or password.</translation>
    </message>
    <message>
        <source>Impossible d&apos;enregistrer votre compte sur cet ordinateur. Vérifiez l&apos;espace disque disponible puis réessayez.</source>
        <translation>Your account could not be saved on this computer. Check the free disk space and try again.</translation>
    </message>
    <message>
        <source>Le service est injoignable et ces identifiants ne sont pas connus sur cet ordinateur. Vérifiez votre connexion à Internet : la connexion hors ligne n&apos;est possible qu&apos;avec un compte déjà utilisé sur cet ordinateur.</source>
        <translation>The service cannot be reached and these credentials are not known on this computer. Check your Internet connection: signing in offline only works with an account already used on this computer.</translation>
    </message>
</context>
</TS>
